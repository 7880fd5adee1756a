# libFuzzer targets: the header, the scans (against the literal reference),
# the summary and the structure walk with the repair on any bytes; the message
# reader, whole and in windows; the trim of a demo at a cut that the first
# bytes pick; deltas of a table made of the first bytes,
# read and written again; the
# command-line rule on any text; the long-path walk with a search that answers
# any names; the map reader and its picture on any bytes; the library index's
# reading on any bytes, sealed or not. Built by the fuzz preset,
# whose flags instrument the core for coverage and the sanitizers; the seed
# corpora come from the project's demo and map writers. scripts/fuzz.sh runs them.
option(QUENDRIX_FUZZ "Build the libFuzzer targets (needs clang)" OFF)
if(QUENDRIX_FUZZ)
  foreach(name header scan summary structure)
    add_executable(quendrix_fuzz_${name} tests/fuzz/${name}_fuzz.cpp)
    target_link_libraries(quendrix_fuzz_${name} PRIVATE quendrix_demo_core quendrix_literal_scan)
    target_link_options(quendrix_fuzz_${name} PRIVATE -fsanitize=fuzzer)
  endforeach()
  foreach(name command_line walk)
    add_executable(quendrix_fuzz_${name} tests/fuzz/${name}_fuzz.cpp)
    target_link_libraries(quendrix_fuzz_${name} PRIVATE quendrix_shell_core)
    target_link_options(quendrix_fuzz_${name} PRIVATE -fsanitize=fuzzer)
  endforeach()
  add_executable(quendrix_fuzz_messages tests/fuzz/messages_fuzz.cpp)
  target_link_libraries(quendrix_fuzz_messages PRIVATE quendrix_messages_core)
  target_link_options(quendrix_fuzz_messages PRIVATE -fsanitize=fuzzer)
  add_executable(quendrix_fuzz_trim tests/fuzz/trim_fuzz.cpp)
  target_link_libraries(quendrix_fuzz_trim PRIVATE quendrix_messages_core)
  target_link_options(quendrix_fuzz_trim PRIVATE -fsanitize=fuzzer)
  add_executable(quendrix_fuzz_delta_codec tests/fuzz/delta_codec_fuzz.cpp)
  target_link_libraries(quendrix_fuzz_delta_codec PRIVATE quendrix_messages_core)
  target_link_options(quendrix_fuzz_delta_codec PRIVATE -fsanitize=fuzzer)
  add_executable(quendrix_fuzz_map tests/fuzz/map_fuzz.cpp)
  target_link_libraries(quendrix_fuzz_map PRIVATE quendrix_map_core)
  target_link_options(quendrix_fuzz_map PRIVATE -fsanitize=fuzzer)
  add_executable(quendrix_fuzz_library_index tests/fuzz/library_index_fuzz.cpp)
  target_link_libraries(quendrix_fuzz_library_index PRIVATE quendrix_library_core)
  target_link_options(quendrix_fuzz_library_index PRIVATE -fsanitize=fuzzer)
  add_executable(quendrix-fuzz-seeds tests/fuzz/make_seeds.cpp)
  target_link_libraries(quendrix-fuzz-seeds PRIVATE quendrix_demo_core quendrix_demo_writer
    quendrix_library_core)
  target_compile_definitions(quendrix-fuzz-seeds PRIVATE
    QUENDRIX_CORPUS_DIR="${QUENDRIX_CORPUS_DIR}")
endif()
