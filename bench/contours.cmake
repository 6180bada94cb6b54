add_executable(bench_contours bench_contours.cpp)
target_link_libraries(bench_contours PRIVATE keldarn_survey keldarn_drawing_core GDAL::GDAL benchmark::benchmark)
