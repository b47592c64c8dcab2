# The MPEG audio decoder beside libmpg123. The fixtures (sox signals encoded
# by twolame and lame) are made by make_mpeg_fixtures.sh at build time, once,
# into the build tree; they are never committed.
find_package(PkgConfig REQUIRED)
pkg_check_modules(MPG123 REQUIRED IMPORTED_TARGET libmpg123)
set(mpeg_fixture_dir ${CMAKE_CURRENT_BINARY_DIR}/mpeg_fixtures)
add_custom_command(
  OUTPUT ${mpeg_fixture_dir}/manifest.txt
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/make_mpeg_fixtures.sh ${mpeg_fixture_dir}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/make_mpeg_fixtures.sh
  COMMENT "Making the MPEG audio fixtures")
add_custom_target(mpeg_fixtures DEPENDS ${mpeg_fixture_dir}/manifest.txt)

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
