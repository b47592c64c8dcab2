# The picture slots of the engine's images: BMP read and written by the
# engine, TGA and JPEG through the decoders, depth text files. Pictures are
# made at test time by the decoders' fixture writer (Debian's Python with
# Pillow, cjpeg and djpeg) in fresh directories.
talvo_test(test_engine_pictures LABEL pictures
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/pictures_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/bmp_hostile_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/bmp_save_test.cpp
  DEPS engine talvo_img)
target_compile_definitions(test_engine_pictures PRIVATE
  MAKE_PICTURES_SCRIPT="${PROJECT_SOURCE_DIR}/tests/Lib/talvo/src/img/make_pictures.py")
