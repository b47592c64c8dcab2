# The configuration table and file, and the input state.
talvo_test(test_engine_cfg_input LABEL cfg-input
  SOURCES cfg_test.cpp inp_test.cpp
  DEPS engine)
