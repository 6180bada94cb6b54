# Sampling inside a boundary on the survey grid, and the KML routes and areas it starts from.
add_executable(survey_sampling_tests survey/boundary_sampling_test.cpp)
target_link_libraries(survey_sampling_tests PRIVATE keldarn_survey keldarn_kml_reader GTest::gtest_main)
gtest_discover_tests(survey_sampling_tests)
