# What the two MinGW-w64 toolchain files share. Each sets
# HUSHCALL_MINGW_TRIPLE and HUSHCALL_WINE_ARCH (win32 or win64, the prefix
# its programs run in under Wine), then includes this.
set(CMAKE_SYSTEM_NAME Windows)
# The posix thread model, so that GoogleTest's threading support builds; with
# static linking it adds no DLL.
set(CMAKE_C_COMPILER ${HUSHCALL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HUSHCALL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${HUSHCALL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${HUSHCALL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Depend on Windows system DLLs only: libgcc and libstdc++ go in statically.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--enable-stdcall-fixup")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--enable-stdcall-fixup")

# Test programs run under Wine, in a prefix of the edition's own kind.
set(CMAKE_CROSSCOMPILING_EMULATOR
    /usr/bin/env;HC_WINE_ARCH=${HUSHCALL_WINE_ARCH};${CMAKE_CURRENT_LIST_DIR}/../tests/wine/wine-run.sh)
