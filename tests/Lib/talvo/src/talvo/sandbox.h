// Every test program of the talvo core runs in a fresh temporary directory of
// its own: the program's path points into it as "<sandbox>/game.exe" (so the
// main log is "<sandbox>/game.log") and TMPDIR is "<sandbox>/tmp".
#pragma once

#include <string>
#include <vector>

namespace talvo_test {

// The sandbox directory (no trailing separator).
const std::string& sandbox();
// A new, empty directory inside the sandbox.
std::string fresh_dir();

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);

// The text the main log file gained since construction, split into lines at
// CR LF (the log's line end).
class MainLogTail {
 public:
  MainLogTail();
  std::string text() const;
  std::vector<std::string> lines() const;

 private:
  size_t start_;
};

// The main log's path: "<sandbox>/game.log".
std::string main_log_path();

}  // namespace talvo_test
