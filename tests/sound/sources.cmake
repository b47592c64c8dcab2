# The sound sources: WAV images in memory and on disk (also files sox makes),
# Ogg Vorbis files made by oggenc at test time, and the MP3 source over a stand-in decoder and over
# the MPEG fixtures with the real one.
find_program(OGGENC oggenc REQUIRED)
find_program(OGGDEC oggdec REQUIRED)
find_program(LAME lame REQUIRED)
find_program(SOX sox REQUIRED)
talvo_test(test_sound_sources LABEL sound-sources
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/snd_wav_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/snd_ogg_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/snd_mp3_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mpeg_support.cpp
  DEPS sound PkgConfig::MPG123)
target_compile_definitions(test_sound_sources PRIVATE OGGENC="${OGGENC}" OGGDEC="${OGGDEC}"
  LAME="${LAME}" SOX="${SOX}" OGG_GRANULES_SCRIPT="${CMAKE_CURRENT_LIST_DIR}/ogg_granules.py"
  MPEG_FIXTURE_DIR="${mpeg_fixture_dir}")
add_dependencies(test_sound_sources mpeg_fixtures)
