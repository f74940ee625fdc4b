# kribbel_layer(<dir> <name> <links...>): the sources of one folder as two
# libraries. Platform-free files (*.cpp) form <name>_core, which also builds
# natively; Windows-only files (*_win.cpp) form <name> on top of it. Files
# are found by pattern so that new ones need no edit here.
function(kribbel_layer dir name)
  file(GLOB all CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  set(core ${all})
  list(FILTER core EXCLUDE REGEX "_win\\.cpp$")
  set(win ${all})
  list(FILTER win INCLUDE REGEX "_win\\.cpp$")
  if(NOT core)
    set(core ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${name}_core STATIC ${core})
  target_link_libraries(${name}_core PUBLIC ${ARGN})
  if(WIN32)
    if(NOT win)
      set(win ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
    endif()
    add_library(${name} STATIC ${win})
    target_link_libraries(${name} PUBLIC ${name}_core)
  endif()
endfunction()

# kribbel_test_folder(<dir> <name> <links...>): every *_test.cpp of a folder
# as one test program; natively with the sanitizers, for Windows under Wine.
# Files named *_win_test.cpp are Windows-only; resource scripts (*.rc) of
# the folder are compiled into the Windows program.
function(kribbel_test_folder dir name)
  include(GoogleTest)
  file(GLOB all CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*_test.cpp)
  if(NOT WIN32)
    list(FILTER all EXCLUDE REGEX "_win_test\\.cpp$")
  endif()
  if(NOT all)
    return()
  endif()
  if(WIN32)
    file(GLOB resources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.rc)
    kribbel_win_test(${name} ${all} ${resources})
    target_link_libraries(${name} PRIVATE ${ARGN})
  else()
    add_executable(${name} ${all})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest_main)
    include(GoogleTest)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST)
  endif()
endfunction()
