# OLE data transfer: media, dropped-file and descriptor layouts, the clipboard.
calvimora_add_test(platform_data_transfer_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/data_transfer_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/ole_clipboard_test.cpp
  LIBRARIES platform)
target_include_directories(platform_data_transfer_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../src)
add_dependencies(platform_data_transfer_tests services_helper)
