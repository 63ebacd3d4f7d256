# Shared compile settings and the one way a subsystem folder becomes a library.

add_library(orvalt_warnings INTERFACE)
target_compile_options(orvalt_warnings INTERFACE -Wall -Wextra -Wpedantic)
target_include_directories(orvalt_warnings INTERFACE ${PROJECT_SOURCE_DIR}/src)

# orvalt_subsystem(NAME DEPENDS...) builds every .cpp of the calling folder into
# the static library orvalt_NAME. A folder is one subsystem; its files are found
# by glob so that adding a file never touches a shared list.
function(orvalt_subsystem name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(orvalt_${name} STATIC ${sources})
    target_link_libraries(orvalt_${name} PUBLIC orvalt_warnings ${ARGN})
  else()
    add_library(orvalt_${name} INTERFACE)
    target_link_libraries(orvalt_${name} INTERFACE orvalt_warnings ${ARGN})
  endif()
endfunction()

# orvalt_test_suite(NAME DEPENDS...) builds every .cpp of the calling tests folder
# into one GoogleTest program, test_NAME, registered with CTest.
function(orvalt_test_suite name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(test_${name} ${sources})
  target_link_libraries(test_${name} PRIVATE ${ARGN} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(test_${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS ${name})
endfunction()
