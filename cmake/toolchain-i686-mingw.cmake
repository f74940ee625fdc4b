# The product: 32-bit Windows.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KRIBBEL_MINGW_TRIPLE i686-w64-mingw32)
set(KRIBBEL_WINE_LOADER /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
