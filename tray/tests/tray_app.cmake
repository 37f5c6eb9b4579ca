# The application object, the tray context, the automatic log-in and the
# session facade, in process, with a scripted session and engine.
# tray_test_folder is an in-process server that stands in for the virtual
# folder where the facade opens it.
add_library(tray_test_folder MODULE ${CMAKE_CURRENT_LIST_DIR}/tray_test_folder.cpp)
target_link_libraries(tray_test_folder PRIVATE platform)
target_include_directories(tray_test_folder PRIVATE ${PROJECT_SOURCE_DIR}/lib)
set_target_properties(tray_test_folder PROPERTIES CXX_VISIBILITY_PRESET hidden PREFIX "")

calvimora_add_test(tray_app_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tray_test_support.cpp
          ${CMAKE_CURRENT_LIST_DIR}/auto_login_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/tray_app_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/tray_icon_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/tray_menu_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/tray_session_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/session_facade_test.cpp
  LIBRARIES calvimora_tray_app dl)
add_dependencies(tray_app_tests tray_test_folder)
target_compile_definitions(tray_app_tests PRIVATE TRAY_TEST_FOLDER="$<TARGET_FILE:tray_test_folder>")
