# Bitmap fonts and text: fonts written at test time by make_font.py (a
# description packed with struct, a glyph strip written by Pillow).
talvo_test(test_engine_fonts_text LABEL fonts-text
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/fonts_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/text_test.cpp
  DEPS engine)
target_compile_definitions(test_engine_fonts_text PRIVATE
  MAKE_FONT_SCRIPT="${CMAKE_CURRENT_LIST_DIR}/make_font.py")
