# Cross-building for 64-bit Windows with MinGW-w64 on Debian. Qt's own toolchain file
# (qt6-mingw64/lib/cmake/Qt6/qt.toolchain.cmake) chains to this one through
# QT_CHAINLOAD_TOOLCHAIN_FILE, so that Qt's packages and ours are found alike.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
# The -posix compilers: the -win32 ones have no std::thread or std::mutex.
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)

# The third-party libraries built for MinGW by scripts/build-windows (libcurl, libssh2,
# libxml2, GoogleTest) are installed under TESSARON_WINDOWS_DEPS.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TESSARON_WINDOWS_DEPS)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
if(TESSARON_WINDOWS_DEPS)
    list(PREPEND CMAKE_FIND_ROOT_PATH ${TESSARON_WINDOWS_DEPS})
    # pkg-config looks only there, never at the build machine's own .pc files.
    set(ENV{PKG_CONFIG_LIBDIR} ${TESSARON_WINDOWS_DEPS}/lib/pkgconfig)
    set(ENV{PKG_CONFIG_PATH} "")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
