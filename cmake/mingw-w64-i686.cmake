# x86 (32-bit) Windows: the handheld's word size, for the handheld build.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
