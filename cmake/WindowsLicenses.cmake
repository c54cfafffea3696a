# The licence of everything the Windows folder ships, in licenses/ beside the program: each
# library built for it from Debian's sources brings its debian/copyright (kept by
# build-windows-deps with the library), and what comes from this machine's Debian packages
# brings that package's copyright file. scripts/check-windows-licenses holds the list of which
# shipped file is under which of them.
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION . RENAME LICENSE.txt)
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION licenses RENAME marlowin.txt)
file(GLOB built_licences "${MARLOWIN_WINDOWS_PREFIX}/share/licenses/*/copyright")
if(NOT built_licences)
  message(FATAL_ERROR "${MARLOWIN_WINDOWS_PREFIX} keeps no licences: rebuild it with "
                      "scripts/build-windows-deps")
endif()
foreach(licence IN LISTS built_licences)
  get_filename_component(folder "${licence}" DIRECTORY)
  get_filename_component(source_package "${folder}" NAME)
  install(FILES "${licence}" DESTINATION licenses RENAME "${source_package}.txt")
endforeach()
# libstdc++ and libgcc; winpthreads; zlib (inside libcurl); Qt's Chinese texts; the
# installer's own code, which NSIS puts into the setup program and the uninstaller.
foreach(host_package IN ITEMS gcc-mingw-w64-x86-64-posix-runtime mingw-w64-x86-64-dev
                              libz-mingw-w64-dev qt6-translations-l10n nsis)
  set(licence "/usr/share/doc/${host_package}/copyright")
  if(NOT EXISTS "${licence}")
    message(FATAL_ERROR "${licence} is missing: install ${host_package}")
  endif()
  install(FILES "${licence}" DESTINATION licenses RENAME "${host_package}.txt")
endforeach()
