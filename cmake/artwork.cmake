# The program's skin and icon, drawn by the project's own generator. The
# pictures are committed, so that the Windows build needs no native build
# first; `cmake --build --preset native --target artwork` draws them again
# into app/resources after the artwork has been changed.
add_library(quendrix_artwork STATIC tools/artwork.cpp tools/pixel_font.cpp)
target_link_libraries(quendrix_artwork PUBLIC quendrix_demo_writer)
add_executable(quendrix-make-artwork tools/make_artwork.cpp)
target_link_libraries(quendrix-make-artwork PRIVATE quendrix_artwork)

add_custom_target(artwork
  COMMAND quendrix-make-artwork ${PROJECT_SOURCE_DIR}/app/resources
  COMMENT "Drawing app/resources/background.bmp and app/resources/quendrix.ico"
  VERBATIM)

# The tests compare the committed pictures with what the generator draws now.
target_link_libraries(quendrix_native_tests PRIVATE quendrix_artwork)
target_compile_definitions(quendrix_native_tests PRIVATE
  QUENDRIX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
