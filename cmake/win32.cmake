# Windows build: the tests of the program's Win32 layer, run by ctest under
# Wine, in a prefix of this build's own, on a display of the test run's own.
# A 64-bit build runs under the 64-bit loader: it is how the same code is
# tested on a machine whose kernel runs no 32-bit programs, and so no 32-bit
# Wine. There the 32-bit build still builds, but nothing of it runs.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(WINE_ARCH win64)
  find_program(WINE_LOADER NAMES wine64 PATHS /usr/lib/wine REQUIRED)
else()
  set(WINE_ARCH win32)
  find_program(WINE_LOADER NAMES wine REQUIRED)
endif()
execute_process(COMMAND ${WINE_LOADER} --version RESULT_VARIABLE wine_result
                OUTPUT_QUIET ERROR_QUIET)
if(wine_result EQUAL 0)
  set(QUENDRIX_RUNS_UNDER_WINE ON)
else()
  set(QUENDRIX_RUNS_UNDER_WINE OFF)
  message(WARNING "${WINE_LOADER} does not run on this machine: the ${WINE_ARCH} build is "
                  "built, but its tests and sample are not (scripts/windows-preset.sh "
                  "names the Windows build that runs here)")
endif()
set(WINE_PREFIX ${CMAKE_BINARY_DIR}/wine/prefix)
set(WINE_STATE ${CMAKE_BINARY_DIR}/wine/session)
configure_file(cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

# Made once here: making it while tests run overruns their time limits.
if(QUENDRIX_RUNS_UNDER_WINE)
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-prefix.sh ${CMAKE_BINARY_DIR}/wine-run
                          ${WINE_PREFIX}
                  RESULT_VARIABLE prefix_result)
  if(NOT prefix_result EQUAL 0)
    message(FATAL_ERROR "Could not create the Wine prefix ${WINE_PREFIX}")
  endif()
endif()

# Driving the real program from outside, as a user would.
add_library(quendrix_window_driver STATIC tools/window_driver.cpp)
target_link_libraries(quendrix_window_driver PUBLIC quendrix_demo_writer gdi32 user32)

add_executable(quendrix_win32_tests
  tests/win32/win32_test_support.cpp
  tests/win32/load_demo_test.cpp
  tests/win32/settings_test.cpp
  tests/win32/main_window_test.cpp
  tests/win32/start_up_test.cpp
  tests/win32/playback_test.cpp
  app/resources/quendrix.rc
  tests/win32/inspector_exe_test.cpp
  # The scans as the shipped processor checks choose them, the plain path too.
  tests/native/scan_differential_test.cpp
  tests/reference/literal_scan.cpp
  tests/win32/previewer_exe_test.cpp
  tests/win32/repair_exe_test.cpp)
target_include_directories(quendrix_win32_tests PRIVATE
  ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated ${PROJECT_SOURCE_DIR}/app/resources)
target_link_libraries(quendrix_win32_tests PRIVATE
  quendrix_win32 quendrix_inspector quendrix_previewer quendrix_window_driver version shlwapi gtest_main)
target_compile_definitions(quendrix_win32_tests PRIVATE
  QUENDRIX_CORPUS_DIR="${QUENDRIX_CORPUS_DIR}" QUENDRIX_MAP_DIR="${QUENDRIX_MAP_DIR}")

# Started by the program in the tests as it starts the game; never shipped.
add_executable(quendrix_stand_in_game tests/win32/stand_in_game.cpp)
target_link_libraries(quendrix_stand_in_game PRIVATE advapi32)
add_dependencies(quendrix_win32_tests quendrix_stand_in_game)

add_executable(quendrix-snapshot tools/quendrix_snapshot.cpp)
target_link_libraries(quendrix-snapshot PRIVATE quendrix_window_driver)

# What a player waits for until a demo's summary shows (scripts/bench-window.sh).
add_executable(quendrix_summary_wait tests/bench/summary_wait.cpp)
target_link_libraries(quendrix_summary_wait PRIVATE quendrix_window_driver)

add_executable(quendrix_program_tests
  tests/win32/win32_test_support.cpp
  tests/win32/program_test.cpp
  tests/win32/commands_test.cpp
  tests/win32/library_test.cpp)
target_link_libraries(quendrix_program_tests PRIVATE
  quendrix_window_driver quendrix_messages_core quendrix_map_core advapi32 shell32 shlwapi
  gtest_main)
# The players' recordings, where Wine shows the machine's own files.
target_compile_definitions(quendrix_program_tests PRIVATE
  QUENDRIX_CORPUS_DIR="Z:${QUENDRIX_CORPUS_DIR}")
add_dependencies(quendrix_program_tests shipped_programs quendrix_stand_in_game)

if(QUENDRIX_RUNS_UNDER_WINE)
  # One display and one warm wineserver for the whole run.
  set(wine_session ${PROJECT_SOURCE_DIR}/scripts/wine-session.sh)
  add_test(NAME wine_session_start COMMAND ${wine_session} start ${WINE_STATE} ${CMAKE_BINARY_DIR}/wine-run)
  add_test(NAME wine_session_stop COMMAND ${wine_session} stop ${WINE_STATE} ${CMAKE_BINARY_DIR}/wine-run)
  set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine)
  set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine)

  add_test(NAME win32_tests COMMAND quendrix_win32_tests)
  set_tests_properties(win32_tests PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)
  add_test(NAME program_tests COMMAND quendrix_program_tests)
  set_tests_properties(program_tests PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 600 RUN_SERIAL ON)

  # The sample demo and its map preview beside the program, as it is shipped.
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/sample/qx_courtyard.dem ${CMAKE_BINARY_DIR}/maps/qx_courtyard.bmp
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/sample ${CMAKE_BINARY_DIR}/maps
    COMMAND ${CMAKE_BINARY_DIR}/wine-run $<TARGET_FILE:quendrix-make-demo> --map qx_courtyard
            --mod valve --res 800x600 --story --preview maps/qx_courtyard.bmp sample/qx_courtyard.dem
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DEPENDS quendrix-make-demo
    COMMENT "Writing the sample demo and its map preview")
  add_custom_target(sample ALL
    DEPENDS ${CMAKE_BINARY_DIR}/sample/qx_courtyard.dem ${CMAKE_BINARY_DIR}/maps/qx_courtyard.bmp)
endif()
