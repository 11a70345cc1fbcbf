# Cross toolchain: 64-bit Windows through Debian's mingw-w64 (posix threads variant).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QXA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QXA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QXA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QXA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QXA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test executables run under Wine with a private prefix inside the build tree.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)

# Deliverables depend on Windows system DLLs only: libgcc, libstdc++ and winpthread
# are linked statically.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
