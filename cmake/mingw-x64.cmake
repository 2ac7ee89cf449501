# Windows x64 (64-bit), for the machines with the 64-bit Access Database Engine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(cc_cible x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-commun.cmake)
