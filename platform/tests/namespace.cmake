# COM's class objects and task memory, item-id lists and the desktop folder.
# com_test_folder is an in-process server the tests register and load.
add_library(com_test_folder MODULE ${CMAKE_CURRENT_SOURCE_DIR}/com_test_folder.cpp)
target_link_libraries(com_test_folder PRIVATE platform)
set_target_properties(com_test_folder PROPERTIES CXX_VISIBILITY_PRESET hidden)

calvimora_add_test(platform_namespace_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/com_class_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/com_text_memory_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/shell_idlist_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/shell_desktop_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/shell_view_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/atl_enum_test.cpp
  LIBRARIES platform)
add_dependencies(platform_namespace_tests com_test_folder)
target_compile_definitions(platform_namespace_tests PRIVATE
  TEST_FOLDER_SERVER="$<TARGET_FILE:com_test_folder>"
  PLATFORM_LIBRARY="$<TARGET_FILE:platform>")
