# Windows, messages, input, painting, dialogs and the framework classes.
# Pictures of windows go to the build folder.
set(WINDOW_PICTURE_DIR ${CMAKE_BINARY_DIR}/window_pictures)
file(MAKE_DIRECTORY ${WINDOW_PICTURE_DIR})
calvimora_add_test(platform_windowing_tests
  SOURCES user_queue_test.cpp user_window_test.cpp user_input_test.cpp user_dialog_test.cpp
          user_paint_test.cpp user_tooltip_test.cpp user_answers_test.cpp afx_test.cpp
          user_edit_test.cpp afx_app_test.cpp atl_dialog_test.cpp
  LIBRARIES platform)
target_include_directories(platform_windowing_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../src)
target_compile_definitions(platform_windowing_tests PRIVATE WINDOW_PICTURE_DIR="${WINDOW_PICTURE_DIR}")
