// A program that logs a few entries, for the settings-file test: a
// "<name>.log.ini" beside it selects which of them reach "<name>.log".
#include "talvo/Log.h"

int main() {
  talvo::io::info_log << "io info" << std::endl;  // the first entry request
  talvo::io::error_log << "io error" << std::endl;
  talvo::exception_log.entry(3) << "exception 3" << std::endl;
  talvo::exception_log.entry(5) << "exception 5" << std::endl;
  talvo::warning_log << "warning" << std::endl;
  talvo::info_log << "info" << std::endl;
  return 0;
}
