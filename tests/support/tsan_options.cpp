// ThreadSanitizer's options for a test program, whatever its environment
// holds (TSAN_OPTIONS still adds to them).
extern "C" const char* __tsan_default_options() {
  return "halt_on_error=1:second_deadlock_stack=1:suppressions=" TALVO_TSAN_SUPPRESSIONS;
}
