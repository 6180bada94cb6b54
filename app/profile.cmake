# The profile window; its charts are saved as SVG through Qt's SVG module.
find_package(Qt6 REQUIRED COMPONENTS Svg)
target_sources(keldarn_app PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/profile_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/profile_window.h
)
target_link_libraries(keldarn_app PRIVATE Qt6::Svg)
