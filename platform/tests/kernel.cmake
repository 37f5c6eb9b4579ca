# Kernel objects, threads and processes. The cross-process tests start
# object_holder from the bin folder as a second process.
add_executable(object_holder object_holder.cpp)
target_link_libraries(object_holder PRIVATE platform)
target_include_directories(object_holder PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../src)

calvimora_add_test(platform_kernel_tests
  SOURCES kernel_named_test.cpp kernel_sync_test.cpp kernel_mapping_test.cpp
          kernel_cross_process_test.cpp kernel_process_test.cpp
  LIBRARIES platform)
add_dependencies(platform_kernel_tests object_holder)
# The command-line splitter is tested directly.
target_include_directories(platform_kernel_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../src)
