# What a Windows build needs beside its executables: the DLLs of Qt, ICU, libcurl, uchardet
# and the MinGW runtime, and Qt's plugins (there is no windeployqt in a cross build). The
# build tree's bin/ gets them so that its programs and tests run as they are; an installation
# gets them stripped.
# The -posix compiler's own runtime (libstdc++, libgcc), in the folder of its version.
file(GLOB mingw_runtime LIST_DIRECTORIES true "/usr/lib/gcc/x86_64-w64-mingw32/*-posix")
set(MARLOWIN_DLL_DIRECTORIES
  "${MARLOWIN_WINDOWS_PREFIX}/bin"
  ${mingw_runtime}
  "/usr/x86_64-w64-mingw32/lib")
find_program(MARLOWIN_OBJDUMP NAMES x86_64-w64-mingw32-objdump REQUIRED)
find_program(MARLOWIN_STRIP NAMES x86_64-w64-mingw32-strip REQUIRED)

# Copies into bin/ the DLLs that the given targets load, once they are built.
function(marlowin_copy_runtime)
  set(files)
  foreach(target IN LISTS ARGN)
    if(TARGET ${target})
      list(APPEND files "$<TARGET_FILE:${target}>")
      list(APPEND built ${target})
    endif()
  endforeach()
  add_custom_target(marlowin_windows_runtime ALL
    COMMAND ${CMAKE_COMMAND} "-DFILES=${files}"
            "-DDIRECTORIES=${MARLOWIN_DLL_DIRECTORIES}" "-DDESTINATION=${PROJECT_BINARY_DIR}/bin"
            "-DOBJDUMP=${MARLOWIN_OBJDUMP}" -P ${PROJECT_SOURCE_DIR}/cmake/copy-runtime.cmake
    VERBATIM)
  add_dependencies(marlowin_windows_runtime ${built})
endfunction()

# Qt's plugins: the windows platform (and offscreen, for the tests) and the native style.
set(qt_plugins "${MARLOWIN_WINDOWS_PREFIX}/plugins")
file(COPY "${qt_plugins}/platforms/qwindows.dll" "${qt_plugins}/platforms/qoffscreen.dll"
     DESTINATION "${PROJECT_BINARY_DIR}/bin/platforms")
file(COPY "${qt_plugins}/styles/qmodernwindowsstyle.dll"
     DESTINATION "${PROJECT_BINARY_DIR}/bin/styles")

# An installation is one folder, as Windows programs are: the program, its module and library,
# Qt's plugins, everything they load, stripped, and a qt.conf that makes the folder Qt's prefix
# (where it finds its translations).
install(FILES "${qt_plugins}/platforms/qwindows.dll" DESTINATION platforms)
install(FILES "${qt_plugins}/styles/qmodernwindowsstyle.dll" DESTINATION styles)
file(WRITE "${PROJECT_BINARY_DIR}/qt.conf" "[Paths]\nPrefix = .\n")
install(FILES "${PROJECT_BINARY_DIR}/qt.conf" DESTINATION .)
install(CODE "
  set(bin \"\${CMAKE_INSTALL_PREFIX}\")
  file(GLOB files \"\${bin}/*.exe\" \"\${bin}/*.dll\" \"\${bin}/platforms/*.dll\" \"\${bin}/styles/*.dll\")
  execute_process(COMMAND \"${CMAKE_COMMAND}\" \"-DFILES=\${files}\"
                  \"-DDIRECTORIES=${MARLOWIN_DLL_DIRECTORIES}\" \"-DDESTINATION=\${bin}\"
                  \"-DOBJDUMP=${MARLOWIN_OBJDUMP}\" \"-DSTRIP=${MARLOWIN_STRIP}\"
                  -P \"${PROJECT_SOURCE_DIR}/cmake/copy-runtime.cmake\" COMMAND_ERROR_IS_FATAL ANY)
  foreach(file IN LISTS files)
    execute_process(COMMAND \"${MARLOWIN_STRIP}\" --strip-unneeded \"\${file}\")
  endforeach()
")
