// The configuration file: any bytes loaded into a table inside a TRY frame,
// as the application reads its file (the first malformed line is reported
// once the file is read, which ends the load). The table must hold every name once, spelt without the blanks
// around it, and values without blanks at their ends or a comment; a table
// whose lines fit the reader's line is saved, loaded again and must come back
// the same, in the same order. The seeds are made by
// fuzz/cfg_file_seeds.py.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/err.h"
#include "engine/cfg.h"
#include "err_frame.h"
#include "input_file.h"

namespace {

bool isBlank(char c) { return static_cast<unsigned char>(c) >= 1 && static_cast<unsigned char>(c) <= 32; }

bool sameName(const char* a, const char* b) {
  for (;; ++a, ++b) {
    unsigned char x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
    if (!x) return true;
  }
}

void load(cfgCTy& table, const char* path) {
  fuzz::runInFrame([&] { table.Load(path); });
}

// The table's invariants; true when every line Save writes is read back
// whole (the reader takes 1023 bytes a line, its line break included).
bool check(const cfgCTy& table) {
  bool fits = true;
  for (uint32_t i = 0; i < table.count; ++i) {
    const char* name = table.entries[i]->name;
    const char* value = table.entries[i]->value;
    const size_t n = std::strlen(name), v = value ? std::strlen(value) : 0;
    if (!value || n == 0 || isBlank(name[0]) || isBlank(name[n - 1]) || std::strchr(name, '=') ||
        std::strstr(name, "--") || std::strstr(value, "--") || (v && (isBlank(value[0]) || isBlank(value[v - 1]))))
      std::abort();
    for (uint32_t j = 0; j < i; ++j)
      if (sameName(table.entries[j]->name, name)) std::abort();
    if (n + 3 + v + 1 > 1023) fits = false;
  }
  return fits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (errInit(), true);
  (void)ready;
  if (size > 1 << 16) return 0;
  const std::string path = fuzz::writeInput("input.cfg", data, size);
  cfgCTy table;
  load(table, path.c_str());
  if (!check(table)) return 0;

  // Saved over the input and loaded again: the same entries.
  table.Save(path.c_str());
  cfgCTy again;
  load(again, path.c_str());
  if (again.count != table.count) std::abort();
  for (uint32_t i = 0; i < table.count; ++i)
    if (std::strcmp(again.entries[i]->name, table.entries[i]->name) ||
        std::strcmp(again.entries[i]->value, table.entries[i]->value))
      std::abort();
  return 0;
}
