# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix thread model, which
# std::thread and std::mutex need). Programs link statically: the exe needs no DLL beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TARVEL1_MINGW_HOST x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${TARVEL1_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARVEL1_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${TARVEL1_MINGW_HOST}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TARVEL1_MINGW_HOST})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run under Wine on this machine.
find_program(TARVEL1_WINE wine)
if(TARVEL1_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TARVEL1_WINE})
endif()
