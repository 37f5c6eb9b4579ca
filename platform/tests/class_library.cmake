# The class library's COM objects, registrar and type library registration,
# automation types, and the shell's information about files and processes.
calvimora_add_test(platform_class_library_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/atl_object_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/atl_registrar_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/atl_typelib_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/oleauto_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/code_page_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/shell_info_test.cpp
  LIBRARIES platform)
