# The draw with source alpha, the constant-weight blend, spans and lines.
talvo_test(test_image_ops_draw LABEL image-ops
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/draw_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/blend_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/span_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/line_test.cpp
  DEPS image_ops)
