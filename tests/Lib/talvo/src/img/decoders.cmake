# The picture decoders. Pictures are made at test time by make_pictures.py
# (Debian's Python with Pillow, cjpeg and djpeg) in fresh directories of the
# program's sandbox.
talvo_test(test_img_decoders LABEL decoders
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/decoder_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dib_decoder_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tga_decoder_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/jpg_decoder_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/decoder_fixtures.cpp
    ${PROJECT_SOURCE_DIR}/tests/Lib/talvo/src/talvo/sandbox.cpp
  DEPS talvo_img)
target_compile_definitions(test_img_decoders PRIVATE
  MAKE_PICTURES_SCRIPT="${CMAKE_CURRENT_LIST_DIR}/make_pictures.py")
