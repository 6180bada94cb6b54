# Contours of a Gaussian hill written with GDAL, carried back through the reverse four
# parameters and Gauss–Krüger and sampled with ElevationSource; contours and elevation points
# drawn, saved as DXF and read by ezdxf (python3-ezdxf) and by the drawing's own reader.
add_executable(survey_contour_tests survey/contours_test.cpp survey/terrain_drawing_test.cpp)
target_include_directories(survey_contour_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(survey_contour_tests PRIVATE
  KELDARN_DXF_FIXTURES="${CMAKE_CURRENT_SOURCE_DIR}/data/dxf")
target_link_libraries(survey_contour_tests PRIVATE
  keldarn_survey keldarn_drawing_core GDAL::GDAL GTest::gtest_main)
gtest_discover_tests(survey_contour_tests)
