# Longitudinal profiles of routes: geodesics between the vertices come from GeographicLib.
target_sources(keldarn_survey PRIVATE ${CMAKE_CURRENT_LIST_DIR}/route_profile.cpp)

# survey/ is configured before earth/, which makes the imported target for the whole build;
# the same lookup here (earth/ then finds the target and leaves it alone).
if(NOT TARGET GeographicLib::GeographicLib)
  # Debian ships GeographicLib's find module outside CMake's search path and no config file.
  list(APPEND CMAKE_MODULE_PATH /usr/share/cmake/geographiclib /usr/share/cmake/GeographicLib)
  find_package(GeographicLib REQUIRED)
  if(NOT TARGET GeographicLib::GeographicLib)
    add_library(GeographicLib::GeographicLib UNKNOWN IMPORTED GLOBAL)
    set_target_properties(GeographicLib::GeographicLib PROPERTIES
      IMPORTED_LOCATION "${GeographicLib_LIBRARIES}"
      INTERFACE_INCLUDE_DIRECTORIES "${GeographicLib_INCLUDE_DIRS}")
  endif()
endif()
target_link_libraries(keldarn_survey PUBLIC GeographicLib::GeographicLib)
