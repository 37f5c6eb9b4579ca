enable_testing()
include(GoogleTest)

# calvimora_add_test(<name> LABELS <unit|e2e|slow>... SOURCES <files>... LIBRARIES <targets>...)
# Builds one GoogleTest program and registers each of its tests with ctest,
# so ctest can run them in parallel. Every test program reaches the
# platform's test API (platform_test_api). Boxes and dialogs nobody scripts get
# their default answers at once, even when ctest runs on a terminal.
function(calvimora_add_test name)
  cmake_parse_arguments(T "" "" "LABELS;SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBRARIES} platform_test_api GTest::gtest GTest::gtest_main
                        GTest::gmock Threads::Threads)
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${T_LABELS}" TIMEOUT 300 ENVIRONMENT CALVIMORA_ANSWERS=default)
endfunction()
