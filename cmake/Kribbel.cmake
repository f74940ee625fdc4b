# Compiler settings shared by every target, and the platform-free core.

add_compile_options(-Wall -Wextra)
if(WIN32)
  # i686 GCC keeps x87 excess precision even across float assignments; the
  # stretch ratio must be a true 32-bit float on every build.
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    add_compile_options(-msse2 -mfpmath=sse)
  endif()
  # Only the system's DLLs at run time: libgcc, libstdc++ and winpthread go in.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
else()
  option(KRIBBEL_SANITIZE "Build the native tests with AddressSanitizer and UBSan" ON)
  option(KRIBBEL_BENCHMARKS "Build the benchmarks" ON)
  set(KRIBBEL_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
      -fno-omit-frame-pointer)
endif()

set(KRIBBEL_CORE_SOURCES
    ${CMAKE_SOURCE_DIR}/platform/exceptions.cpp
    ${CMAKE_SOURCE_DIR}/platform/mv_utils.cpp
    ${CMAKE_SOURCE_DIR}/platform/startup.cpp
    ${CMAKE_SOURCE_DIR}/graphics/pixel_rows.cpp
    ${CMAKE_SOURCE_DIR}/graphics/pixel_rows_mmx.cpp
    ${CMAKE_SOURCE_DIR}/graphics/pixel_routines.cpp)
# The MMX blend is the only file built with -mmmx: nothing else may emit MMX
# before the processor test has run.
set_source_files_properties(${CMAKE_SOURCE_DIR}/graphics/pixel_rows_mmx.cpp
                            PROPERTIES COMPILE_OPTIONS -mmmx)

# kribbel_core_library(<name> [SANITIZE]): the core as a static library; with
# SANITIZE (native only) it and everything linking it use the sanitizers.
function(kribbel_core_library name)
  cmake_parse_arguments(ARG "SANITIZE" "" "" ${ARGN})
  add_library(${name} STATIC ${KRIBBEL_CORE_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  if(ARG_SANITIZE AND KRIBBEL_SANITIZE)
    target_compile_options(${name} PUBLIC ${KRIBBEL_SANITIZER_FLAGS})
    target_link_options(${name} PUBLIC ${KRIBBEL_SANITIZER_FLAGS})
  endif()
endfunction()
