calvimora_add_test(platform_base_tests
  SOURCES base_test.cpp
  LIBRARIES platform)

# Each area of the stand-in registers its own test programs.
file(GLOB PLATFORM_TEST_AREAS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cmake)
foreach(area ${PLATFORM_TEST_AREAS})
  include(${area})
endforeach()
