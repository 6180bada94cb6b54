# Several threads against one, on every kind of terrain source: each test repeats its runs
# twice in the normal suite and 20 times in the "long" one (KELDARN_DETERMINISM_RUNS).
add_executable(determinism_tests cli/thread_determinism_test.cpp)
target_compile_definitions(determinism_tests PRIVATE
  KELDARN_DETERMINISM_TERRAIN="${CMAKE_CURRENT_SOURCE_DIR}/cli/determinism_terrain.py"
  KELDARN_RANGE_HTTP_SERVER="${CMAKE_CURRENT_SOURCE_DIR}/support/range_http_server.py")
target_link_libraries(determinism_tests PRIVATE keldarn_cli keldarn_survey GDAL::GDAL GTest::gtest_main)
gtest_discover_tests(determinism_tests)
add_test(NAME ThreadDeterminism.TwentyRunsOfEach COMMAND determinism_tests)
set_tests_properties(ThreadDeterminism.TwentyRunsOfEach PROPERTIES
  LABELS long TIMEOUT 1200 ENVIRONMENT "KELDARN_DETERMINISM_RUNS=20")
