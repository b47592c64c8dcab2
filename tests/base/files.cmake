# Mapped files, DIBs and BMP loading, the LZ packer and the zlib wrappers.
talvo_test(test_base_files LABEL base-files
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/mf_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/lz_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/zlib_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/dib_test.cpp
  DEPS base)
