# Cross build for 64-bit Windows with Debian's MinGW-w64 (the posix thread
# variant, so that std::thread and std::mutex work):
#   cmake -S . -B build-windows -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake
# The programs link libstdc++, libgcc and winpthread statically: the .exe
# needs no DLL beyond those of Windows itself. Tests run through Wine where
# it is installed (ctest uses it as the emulator).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(V36_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${V36_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${V36_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${V36_MINGW_TRIPLE}-windres)

# Libraries, headers and packages come from the MinGW-w64 tree only, never
# from the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${V36_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Debian's wine64 package installs the loader outside PATH.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  foreach(wine /usr/lib/wine/wine64 /usr/bin/wine64 /usr/bin/wine)
    if(EXISTS ${wine})
      set(CMAKE_CROSSCOMPILING_EMULATOR ${wine})
      break()
    endif()
  endforeach()
endif()

# Release at -O2, as the native RelWithDebInfo build: GCC 12 at -O3 warns
# falsely about overlapping copies inside std::string (GCC bug 105651), and
# warnings are errors in CI.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of a release build")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of a release build")
