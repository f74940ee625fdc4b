# Included by the Windows (cross) build: the build-time tools, built for the
# build machine with its own compiler as a project of their own, into
# ${CMAKE_BINARY_DIR}/host-tools. Afterwards:
#   KRIBBEL_FORMC, KRIBBEL_SWFGEN, KRIBBEL_ICOGEN  paths of the tools
#   kribbel_host_tools                             the target that builds them
#   kribbel_compile_form(<out.bin> <in.txt>)       a rule: text form to binary
include(ExternalProject)

find_program(KRIBBEL_HOST_CXX NAMES c++ g++ clang++ NO_CMAKE_FIND_ROOT_PATH
             DOC "The build machine's C++ compiler, for the build-time tools")
if(NOT KRIBBEL_HOST_CXX)
  message(FATAL_ERROR "No C++ compiler for the build machine (c++, g++ or clang++) on PATH")
endif()

set(KRIBBEL_HOST_TOOLS_DIR ${CMAKE_BINARY_DIR}/host-tools)
set(KRIBBEL_FORMC ${KRIBBEL_HOST_TOOLS_DIR}/formc)
set(KRIBBEL_SWFGEN ${KRIBBEL_HOST_TOOLS_DIR}/swfgen)
set(KRIBBEL_ICOGEN ${KRIBBEL_HOST_TOOLS_DIR}/icogen)

# No toolchain file reaches this project: it builds for the host. Its tests
# run in the native build, so GoogleTest is not needed here.
ExternalProject_Add(kribbel_host_tools
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/tools
  BINARY_DIR ${KRIBBEL_HOST_TOOLS_DIR}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
             -DCMAKE_CXX_COMPILER=${KRIBBEL_HOST_CXX}
             -DKRIBBEL_TOOLS_TESTS=OFF
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${KRIBBEL_FORMC} ${KRIBBEL_SWFGEN} ${KRIBBEL_ICOGEN})

# The text form's FlashStreamFile('...') and BinaryFile('...') name files
# beside it; the rule runs again when the form or any file of its folder changes.
function(kribbel_compile_form out in)
  get_filename_component(in ${in} ABSOLUTE)
  get_filename_component(dir ${in} DIRECTORY)
  file(GLOB beside CONFIGURE_DEPENDS ${dir}/*)
  add_custom_command(OUTPUT ${out}
    COMMAND ${KRIBBEL_FORMC} compile ${in} ${out}
    DEPENDS ${in} ${beside} kribbel_host_tools
    COMMENT "Compiling the form ${in}"
    VERBATIM)
endfunction()
