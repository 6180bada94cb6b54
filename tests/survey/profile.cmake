# Route profiles against PROJ, GeographicLib and a GeoTIFF written through GDAL; the profile
# window on Qt's offscreen platform.
find_package(PROJ CONFIG REQUIRED)
add_executable(survey_profile_tests survey/route_profile_test.cpp)
target_link_libraries(survey_profile_tests PRIVATE keldarn_survey GDAL::GDAL PROJ::proj GTest::gtest_main)
gtest_discover_tests(survey_profile_tests TEST_PREFIX "profile.")

add_executable(profile_window_test app/profile_window_test.cpp)
target_link_libraries(profile_window_test PRIVATE keldarn_app Qt6::Test)
target_include_directories(profile_window_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/app)
add_test(NAME profile_window_test COMMAND profile_window_test)
set_tests_properties(profile_window_test PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
