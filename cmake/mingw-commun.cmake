# Cross-compiling for Windows with Debian's MinGW-w64 compilers (posix thread model): what the x64 and
# the x86 toolchain files share, for cc_cible. Used both to build the static Qt and, chain-loaded by Qt's
# own toolchain file, to build the program.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER /usr/bin/${cc_cible}-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/${cc_cible}-g++-posix)
set(CMAKE_RC_COMPILER /usr/bin/${cc_cible}-windres)
set(CMAKE_AR /usr/bin/${cc_cible}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/${cc_cible}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${cc_cible})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One .exe that needs no MinGW DLL. Without CMAKE_LINK_SEARCH_END_STATIC, CMake would link libstdc++
# and winpthread dynamically again after the system import libraries.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_LINK_SEARCH_END_STATIC ON)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
