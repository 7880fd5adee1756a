# Native build: the inspector, fast tests of the core, benchmarks and the sample.
find_package(GTest REQUIRED)
find_package(benchmark REQUIRED)
include(GoogleTest)

add_library(quendrix_literal_scan STATIC tests/reference/literal_scan.cpp
  tests/reference/literal_walk.cpp)
target_link_libraries(quendrix_literal_scan PUBLIC quendrix_demo_core)

add_executable(quendrix_native_tests
  tests/native/demo_header_test.cpp
  tests/native/signature_scan_test.cpp
  tests/native/scan_differential_test.cpp
  tests/native/demo_summary_test.cpp
  tests/native/demo_structure_test.cpp
  tests/native/messages_test.cpp
  tests/native/delta_codec_test.cpp
  tests/native/demo_state_test.cpp
  tests/native/demo_trim_test.cpp
  tests/native/demo_writer_test.cpp
  tests/native/inspector_test.cpp
  tests/native/demo_folder_test.cpp
  tests/native/repair_test.cpp
  tests/native/trim_tool_test.cpp
  tests/native/real_demos_test.cpp
  tests/native/artwork_test.cpp
  tests/native/command_line_test.cpp
  tests/native/long_path_walk_test.cpp
  tests/native/map_floors_test.cpp
  tests/native/map_picture_test.cpp
  tests/native/previewer_test.cpp
  tests/native/library_test.cpp
  tests/native/duration_text_test.cpp)
target_link_libraries(quendrix_native_tests PRIVATE
  quendrix_inspector quendrix_previewer quendrix_demo_writer quendrix_literal_scan
  quendrix_shell_core quendrix_library_core GTest::gtest_main)
target_compile_definitions(quendrix_native_tests PRIVATE
  QUENDRIX_CORPUS_DIR="${QUENDRIX_CORPUS_DIR}" QUENDRIX_MAP_DIR="${QUENDRIX_MAP_DIR}")
gtest_discover_tests(quendrix_native_tests)

add_executable(quendrix_bench tests/bench/scan_bench.cpp tests/bench/map_bench.cpp
  tests/bench/library_bench.cpp)
target_link_libraries(quendrix_bench PRIVATE
  quendrix_demo_file quendrix_messages_core quendrix_map_core quendrix_demo_writer quendrix_literal_scan
  quendrix_library_core benchmark::benchmark)
target_compile_definitions(quendrix_bench PRIVATE QUENDRIX_CORPUS_DIR="${QUENDRIX_CORPUS_DIR}"
  QUENDRIX_MAP_DIR="${QUENDRIX_MAP_DIR}")
add_executable(quendrix_inspect_on_path tests/bench/inspect_on_path.cpp)
target_link_libraries(quendrix_inspect_on_path PRIVATE quendrix_inspector)

# The bundled sample demo and its map preview.
set(SAMPLE_DIR ${CMAKE_BINARY_DIR}/sample)
add_custom_command(
  OUTPUT ${SAMPLE_DIR}/qx_courtyard.dem ${SAMPLE_DIR}/maps/qx_courtyard.bmp
  COMMAND ${CMAKE_COMMAND} -E make_directory ${SAMPLE_DIR}/maps
  COMMAND quendrix-make-demo --map qx_courtyard --mod valve --res 800x600 --story
          --preview ${SAMPLE_DIR}/maps/qx_courtyard.bmp ${SAMPLE_DIR}/qx_courtyard.dem
  DEPENDS quendrix-make-demo
  COMMENT "Writing the sample demo and its map preview")
add_custom_target(sample ALL
  DEPENDS ${SAMPLE_DIR}/qx_courtyard.dem ${SAMPLE_DIR}/maps/qx_courtyard.bmp)

include(cmake/artwork.cmake)

include(cmake/fuzz.cmake)
