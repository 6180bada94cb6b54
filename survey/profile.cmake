# Longitudinal profiles of routes: geodesics between the vertices come from GeographicLib.
target_sources(keldarn_survey PRIVATE ${CMAKE_CURRENT_LIST_DIR}/route_profile.cpp)
target_link_libraries(keldarn_survey PUBLIC GeographicLib::GeographicLib)
