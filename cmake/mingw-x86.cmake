# Windows x86 (32-bit): the program that sees the Jet driver every Windows carries, a 32-bit one.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(cc_cible i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-commun.cmake)
