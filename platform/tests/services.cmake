# Registry, shell, message boxes, COM counting, files, crypto and identifiers.
add_executable(services_helper ${CMAKE_CURRENT_SOURCE_DIR}/services_helper.cpp)
target_link_libraries(services_helper PRIVATE platform utf8cpp)
target_include_directories(services_helper PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../src)

foreach(area registry shell user com file crypt rpc)
  calvimora_add_test(platform_${area}_tests
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${area}_test.cpp
    LIBRARIES platform utf8cpp)
  add_dependencies(platform_${area}_tests services_helper)
endforeach()
