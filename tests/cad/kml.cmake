# KML tests
find_package(EXPAT REQUIRED)
add_executable(kml_tests
  cad/kml_reader_test.cpp
  cad/kml_bad_input_test.cpp
  cad/kml_writer_test.cpp
  cad/kml_round_trip_test.cpp
  cad/kml_corpus_test.cpp
)
target_link_libraries(kml_tests PRIVATE keldarn_kml keldarn_encoding PkgConfig::LIBZIP EXPAT::EXPAT GTest::gtest_main)
target_compile_definitions(kml_tests PRIVATE
  KELDARN_KML_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data/kml")
gtest_discover_tests(kml_tests)
# A generated KML of 2 GB, streamed: label "long", as in drawing.cmake.
add_test(NAME KmlHostileFiles.TwoGigabyteFile
  COMMAND kml_tests --gtest_also_run_disabled_tests
          --gtest_filter=KmlHostileFiles.DISABLED_TwoGigabyteFileStreamsInBoundedMemory)
set_tests_properties(KmlHostileFiles.TwoGigabyteFile PROPERTIES LABELS long TIMEOUT 600)

add_executable(fileio_tests fileio/atomic_file_test.cpp)
target_link_libraries(fileio_tests PRIVATE keldarn_fileio GTest::gtest_main)
gtest_discover_tests(fileio_tests)
