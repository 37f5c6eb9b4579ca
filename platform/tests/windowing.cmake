# Windows, messages, input, painting, dialogs and the framework classes.
calvimora_add_test(platform_windowing_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/user_queue_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/user_window_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/user_input_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/user_dialog_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/user_paint_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/user_tooltip_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/afx_test.cpp
  LIBRARIES platform)
target_include_directories(platform_windowing_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../src)
