# What the tray program shows: tray icons and balloons, icons, menus, and
# the shell's executions.
calvimora_add_test(platform_shell_ui_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/shell_tray_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/user_menu_test.cpp
  LIBRARIES platform)
