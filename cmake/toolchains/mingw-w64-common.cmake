# Shared part of the mingw-w64 toolchain files: cross-compiling for Windows with Debian's
# mingw-w64 compilers. The including file sets KOLBRIN_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR.
#
# The -posix compilers are the ones with std::thread and std::mutex (the library serialises its
# calls with a mutex); the plain names are alternatives that may point at the win32 thread model.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${KOLBRIN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KOLBRIN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KOLBRIN_MINGW_TRIPLE}-windres)

# Headers and libraries come from the target's sysroot only; build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${KOLBRIN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
