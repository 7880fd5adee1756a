# Windows build: the program's Win32 layer and its tests, run by ctest under
# Wine, in a prefix of this build's own, on a display of the test run's own.
set(WINE_PREFIX ${CMAKE_BINARY_DIR}/wine/prefix)
set(WINE_STATE ${CMAKE_BINARY_DIR}/wine/session)

# Made once here: making it while tests run overruns their time limits.
execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-prefix.sh ${WINE_PREFIX}
                RESULT_VARIABLE prefix_result)
if(NOT prefix_result EQUAL 0)
  message(FATAL_ERROR "Could not create the Wine prefix ${WINE_PREFIX}")
endif()
configure_file(cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

add_library(quendrix_win32 STATIC
  common/app_state.cpp
  common/message_box.cpp
  demo/load_demo.cpp
  game/association.cpp
  game/settings.cpp)
target_link_libraries(quendrix_win32 PUBLIC quendrix_demo_file quendrix_shell_core advapi32)

add_executable(quendrix_win32_tests
  tests/win32/win32_test_support.cpp
  tests/win32/load_demo_test.cpp
  tests/win32/settings_test.cpp
  tests/win32/inspector_exe_test.cpp)
target_include_directories(quendrix_win32_tests PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(quendrix_win32_tests PRIVATE
  quendrix_win32 quendrix_inspector quendrix_demo_writer gtest_main)

# One display and one warm wineserver for the whole run.
add_test(NAME wine_session_start
         COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-session.sh start ${WINE_STATE} ${WINE_PREFIX})
add_test(NAME wine_session_stop
         COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-session.sh stop ${WINE_STATE} ${WINE_PREFIX})
set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine)

add_test(NAME win32_tests COMMAND quendrix_win32_tests)
set_tests_properties(win32_tests PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)
