# Cross build for 32-bit Windows with MinGW-w64: the program as it is shipped.
# It asks for no more than an i686 processor; the scans check the processor
# before they use SSE2 or AVX2.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
