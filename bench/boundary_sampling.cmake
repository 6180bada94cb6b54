add_executable(bench_boundary_sampling bench_boundary_sampling.cpp)
target_link_libraries(bench_boundary_sampling PRIVATE keldarn_survey keldarn_points GDAL::GDAL Qt6::Core
  benchmark::benchmark)
