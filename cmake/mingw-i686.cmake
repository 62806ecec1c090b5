# Cross build for 32-bit Windows with MinGW-w64; tests run under Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(HUSHCALL_MINGW_TRIPLE i686-w64-mingw32)
set(HUSHCALL_WINE_ARCH win32)

# SSE2 arithmetic: x87 extended precision double-rounds products such as
# 0.07 * 150 and gives the wrong nearest integer.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
