# The MPEG audio decoder beside libmpg123, over the fixtures and the
# reference library that tests/sound/CMakeLists.txt sets up.
talvo_test(test_sound_mpeg LABEL mpeg
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/mpeg_support.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mpa_header_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mpa_setup_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mpa_synth_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mpa_layer12_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mpa_oracle_test.cpp
  DEPS sound PkgConfig::MPG123)
target_compile_definitions(test_sound_mpeg PRIVATE MPEG_FIXTURE_DIR="${mpeg_fixture_dir}")
add_dependencies(test_sound_mpeg mpeg_fixtures)

# Layer III: Huffman readers, bitstream and reconstruction units, and lame's
# fixtures beside libmpg123.
talvo_test(test_sound_mpeg_l3 LABEL mpeg-l3
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/mpeg_support.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mpa_l3_huffman_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mpa_l3_bitstream_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mpa_l3_recon_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mpa_l3_oracle_test.cpp
  DEPS sound PkgConfig::MPG123)
target_compile_definitions(test_sound_mpeg_l3 PRIVATE MPEG_FIXTURE_DIR="${mpeg_fixture_dir}")
add_dependencies(test_sound_mpeg_l3 mpeg_fixtures)
