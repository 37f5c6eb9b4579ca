# The shell's worker threads, interface hand-overs and progress dialog.
calvimora_add_test(platform_shell_thread_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/shell_thread_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/com_apartment_test.cpp
  LIBRARIES platform)
