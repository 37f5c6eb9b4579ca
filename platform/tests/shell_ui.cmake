# What the tray program shows: tray icons and balloons, icons, menus, the
# shell's executions, windows seen from other processes and the answers
# file. ui_helper is the other process.
add_executable(ui_helper ${CMAKE_CURRENT_SOURCE_DIR}/ui_helper.cpp)
target_link_libraries(ui_helper PRIVATE platform utf8cpp)

calvimora_add_test(platform_shell_ui_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/shell_tray_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/user_menu_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/user_session_test.cpp
  LIBRARIES platform)
add_dependencies(platform_shell_ui_tests ui_helper)
