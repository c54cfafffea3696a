# Cross-building for 64-bit Windows with Debian's MinGW-w64. The -posix compilers: the default
# -win32 ones lack std::thread, std::future and std::promise, which the code uses.
# MARLOWIN_WINDOWS_PREFIX names the folder the dependencies were built into
# (scripts/build-windows-deps prints it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

if(NOT MARLOWIN_WINDOWS_PREFIX AND DEFINED ENV{MARLOWIN_WINDOWS_PREFIX})
  set(MARLOWIN_WINDOWS_PREFIX "$ENV{MARLOWIN_WINDOWS_PREFIX}")
endif()
# Try-compiles run in fresh projects: they need the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MARLOWIN_WINDOWS_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${MARLOWIN_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees the Windows libraries only.
if(MARLOWIN_WINDOWS_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} "${MARLOWIN_WINDOWS_PREFIX}/lib/pkgconfig:/usr/x86_64-w64-mingw32/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()

# Test programs run under Wine.
find_program(MARLOWIN_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(MARLOWIN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${MARLOWIN_WINE})
endif()
