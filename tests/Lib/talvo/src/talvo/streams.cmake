# Stream buffers, input streams and their headers, zip archives, object
# registries. Each program runs in a sandbox directory of its own
# (sandbox.cpp); fixtures are made in fresh directories inside it.
talvo_test(test_talvo_streambuf LABEL streams
  SOURCES streambuf_test.cpp sandbox.cpp stream_fixtures.cpp
  DEPS talvo)
talvo_test(test_talvo_archive LABEL streams
  SOURCES archive_test.cpp sandbox.cpp stream_fixtures.cpp
  DEPS talvo)
talvo_test(test_talvo_stream LABEL streams
  SOURCES stream_test.cpp sandbox.cpp stream_fixtures.cpp
  DEPS talvo)
talvo_test(test_talvo_registry LABEL streams
  SOURCES registry_test.cpp sandbox.cpp stream_fixtures.cpp
  DEPS talvo)
