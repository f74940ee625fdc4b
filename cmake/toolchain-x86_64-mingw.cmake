# The same sources for 64-bit Windows: the test build on machines whose kernel
# cannot execute 32-bit code (and so cannot run 32-bit Wine).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KRIBBEL_MINGW_TRIPLE x86_64-w64-mingw32)
set(KRIBBEL_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
