// Helper programs run from tests: Debian's Python (the interpreter Pillow is
// installed for, found once by CMake and passed in by talvo_test as
// TALVO_PYTHON), and the quoting of every word handed to a shell.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

// One word for /bin/sh, whatever it holds: in single quotes, a quote inside
// written '\''.
inline std::string shellQuote(const std::string& word) {
  std::string out = "'";
  for (char c : word) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

// The words quoted and joined into one command.
inline std::string shellCommand(const std::vector<std::string>& words) {
  std::string command;
  for (const std::string& w : words) command += (command.empty() ? "" : " ") + shellQuote(w);
  return command;
}

// Runs Debian's Python with these arguments (a script file and its arguments,
// or "-c" and a program text); the status std::system gives, 0 for success.
inline int runPython(const std::vector<std::string>& args) {
  std::vector<std::string> words{TALVO_PYTHON};
  words.insert(words.end(), args.begin(), args.end());
  return std::system(shellCommand(words).c_str());
}
