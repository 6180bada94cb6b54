add_executable(bench_profile bench_profile.cpp)
target_link_libraries(bench_profile PRIVATE keldarn_app GDAL::GDAL benchmark::benchmark)
