# Bitmap fonts: any bytes as the font description beside a fixed glyph
# picture, a BMP and a TGA with alpha. Seeds: descriptions like the font
# tests' fixtures.
talvo_fuzz_target(font_file
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/font_file.cpp
  DEPS engine engine_alpha)
