# keldarn_capture: the geometry of a pick and of the sampling grid, without widgets.
add_library(keldarn_capture STATIC
  screen_coords.cpp
  grid_sampling.cpp
)
target_include_directories(keldarn_capture PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(keldarn_capture PUBLIC keldarn_geodesy)

# Messages for the user pass through the interface-language hook.
target_link_libraries(keldarn_capture PUBLIC keldarn_i18n)
