# Helpers that keep each folder's CMake file to a few lines. Sources are globbed so that a new
# file joins its library without touching the build files.

# pellucor_library(NAME DIR DEPS...): a static library from DIR/*.cpp (an INTERFACE library while
# DIR has no sources yet). Every include is written from the repository root.
function(pellucor_library name dir)
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

# pellucor_tests(NAME DIR LIBS...): one GoogleTest binary from DIR/*.cpp, its cases registered
# with CTest one by one. Tests that need a second process re-execute this same binary.
function(pellucor_tests name dir)
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest_main GTest::gmock pthread)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 600 ENVIRONMENT "PELLUCOR_TEST_BINARY=$<TARGET_FILE:${name}>")
endfunction()
