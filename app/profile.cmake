# The profile window; its chart is painted and saved by keldarn_ops_chart.
target_sources(keldarn_app PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/profile_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/profile_window.h
)
target_link_libraries(keldarn_app PUBLIC keldarn_ops_chart)
