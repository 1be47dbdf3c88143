# SPDX-License-Identifier: MIT
# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (POSIX threads
# flavour, for std::thread), linked statically so that no DLL is shipped.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PV_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PV_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PV_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${PV_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${PV_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Tests run under wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
