# The program itself, in both Windows builds: the one of the tests and the one
# of the shipped programs (cmake/shipped.cmake).
enable_language(RC)

# Everything of the program but its entry point, so the tests can link it.
add_library(quendrix_win32 STATIC
  app/commands.cpp
  app/details_dialog.cpp
  app/library_window.cpp
  app/long_path.cpp
  app/main_dialog.cpp
  app/start_up.cpp
  common/app_state.cpp
  common/message_box.cpp
  app/load_demo.cpp
  game/association.cpp
  game/playback.cpp
  game/settings.cpp)
target_link_libraries(quendrix_win32 PUBLIC
  quendrix_demo_file quendrix_messages_core quendrix_map_core quendrix_shell_core
  quendrix_library_core quendrix_library_files quendrix_trim_file
  comdlg32 comctl32 gdi32 user32 advapi32 shell32 ole32)

configure_file(cmake/version.h.in ${CMAKE_BINARY_DIR}/generated/version.h @ONLY)
add_executable(quendrix WIN32 app/win_main.cpp app/resources/quendrix.rc)
target_include_directories(quendrix PRIVATE ${CMAKE_BINARY_DIR}/generated ${PROJECT_SOURCE_DIR}/app/resources)
target_link_libraries(quendrix PRIVATE quendrix_win32)
set_source_files_properties(app/resources/quendrix.rc PROPERTIES
  OBJECT_DEPENDS "${PROJECT_SOURCE_DIR}/app/resources/background.bmp;${PROJECT_SOURCE_DIR}/app/resources/quendrix.ico")
