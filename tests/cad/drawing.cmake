# Drawing model, DXF files (checked with python3-ezdxf when installed), drawing window
# and host. One executable with its own main: a QApplication on the offscreen platform.
add_executable(drawing_tests
  cad/drawing_test_main.cpp
  cad/drawing_model_test.cpp
  cad/drawing_document_test.cpp
  cad/dxf_io_test.cpp
  cad/dxf_large_file_test.cpp
  cad/drawing_window_test.cpp
)
target_link_libraries(drawing_tests PRIVATE keldarn_drawing Qt6::Widgets Qt6::Test GTest::gtest)
target_compile_definitions(drawing_tests PRIVATE
  KELDARN_DXF_FIXTURES="${PROJECT_SOURCE_DIR}/tests/data/dxf")
gtest_discover_tests(drawing_tests
  PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
  DISCOVERY_TIMEOUT 30)

# Large inputs, some ten seconds each: label "long" (ctest -LE long leaves them out; the
# sanitizer run of test.sh does).
add_test(NAME DxfLargeFile.MillionEntities
  COMMAND drawing_tests --gtest_also_run_disabled_tests --gtest_filter=DxfLargeFile.*)
set_tests_properties(DxfLargeFile.MillionEntities PROPERTIES
  LABELS long ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 600)
