# Stream buffers, input streams and their headers, zip archives, object
# registries. The program runs in a sandbox directory of its own
# (sandbox.cpp); fixtures are made in fresh directories inside it.
talvo_test(test_talvo_streams LABEL streams
  SOURCES
    streambuf_test.cpp
    archive_test.cpp
    stream_test.cpp
    registry_test.cpp
    sandbox.cpp
    stream_fixtures.cpp
  DEPS talvo)
