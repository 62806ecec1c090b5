# Cross build for 64-bit Windows with MinGW-w64; tests run under 64-bit Wine.
# (x86-64 does its floating point in SSE2 already.)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(HUSHCALL_MINGW_TRIPLE x86_64-w64-mingw32)
set(HUSHCALL_WINE_ARCH win64)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
