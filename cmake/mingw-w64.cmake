# Shared part of the mingw-w64 toolchain files: Debian's cross compilers with the win32 thread
# model (the library and the MFC subset use Win32's own threads and locks, never C++ threads),
# and its resource compiler.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${VANTEL_MINGW_TRIPLET}-gcc-win32)
set(CMAKE_CXX_COMPILER ${VANTEL_MINGW_TRIPLET}-g++-win32)
set(CMAKE_RC_COMPILER ${VANTEL_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VANTEL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
