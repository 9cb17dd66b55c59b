# Cross build of the Win32 program with Debian's mingw-w64 (64-bit only: this
# Wine cannot run 32-bit programs). The -posix compilers are needed for
# std::thread and GoogleTest.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BAUDCALC_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${BAUDCALC_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BAUDCALC_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${BAUDCALC_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BAUDCALC_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: no libstdc++, libgcc or winpthread DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine, in the build tree's own prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
