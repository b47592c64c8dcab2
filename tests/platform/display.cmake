# DirectDraw and GDI over SDL2, and the manual clock.
talvo_test(test_platform_display LABEL platform-display
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/display_test.cpp
  DEPS platform SDL2::SDL2)
