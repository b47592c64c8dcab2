// The log settings file: any bytes read as the statements of
// "<program>.log.ini", from a file in text mode through the io layer's
// buffered file buffer over the file's handle (as the log reads it), and in
// binary mode three times: from a file through the same buffer, through it
// holding one character at a time or a few, and from memory. The binary
// readings must leave the same settings; the text-mode reading the settings
// that a reading from memory leaves of the characters the file holds in
// text mode (before the first Ctrl-Z, each CR before an LF dropped). No
// threshold may fall below -1 (a level switched off). The token reader must
// take at least one character a token. Between inputs the settings go back
// to their defaults. The seeds are made by fuzz/log_config_seeds.py.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <set>
#include <string>
#include <vector>

#include "input_file.h"
#include "memory_input.h"
#include "talvo/File.h"
#include "talvo/LogConfig.h"
#include "talvo/StreamBuf.h"
#include "text_mode.h"

namespace {

struct Record {
  std::string name;
  int32_t disable;
  int32_t threshold[3];
  bool operator==(const Record& o) const {
    return name == o.name && disable == o.disable && std::memcmp(threshold, o.threshold, sizeof threshold) == 0;
  }
};

Record recordOf(const std::string& name, const talvo::LogSettings& s) {
  Record r{name, s.disable, {s.threshold[0], s.threshold[1], s.threshold[2]}};
  for (int32_t t : r.threshold)
    if (t < -1) std::abort();
  return r;
}

// What a reading gave: its result and every settings record.
struct Outcome {
  bool result;
  std::vector<Record> records;
  bool operator==(const Outcome& o) const { return result == o.result && records == o.records; }
};

// The settings as they were before the input: records the reading added go
// (the channels hold the ones that were there, which are reset).
void reset(const std::set<std::string>& before) {
  talvo::log_switch = talvo::LogSettings{};
  talvo::log_defaults = talvo::LogSettings{};
  auto& map = talvo::log_settings_map();
  for (auto it = map.begin(); it != map.end();) {
    if (before.count(it->first)) {
      (it++)->second = talvo::LogSettings{};
    } else {
      it = map.erase(it);
    }
  }
}

Outcome parse(std::streambuf* buffer, const std::set<std::string>& before) {
  std::istream in(buffer);
  Outcome out{talvo::parse_log_config(in), {recordOf("!", talvo::log_switch), recordOf("*", talvo::log_defaults)}};
  for (const auto& [name, record] : talvo::log_settings_map()) out.records.push_back(recordOf(name, record));
  reset(before);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  std::set<std::string> before;
  for (const auto& entry : talvo::log_settings_map()) before.insert(entry.first);
  const char* path = fuzz::writeInput("input.log.ini", data, size);

  // As the log reads it: a text-mode file's handle under the buffer.
  talvo::File text;
  if (!text.open(path, talvo::AbstractFile::in)) std::abort();
  talvo::io::FileBuf fromHandle(text.handle(), text.mode());
  const Outcome fromText = parse(&fromHandle, before);
  talvo::io::MemBuf converted;
  const std::string characters = fuzz::textModeBytes(data, size);
  fuzz::setBytes(converted, reinterpret_cast<const uint8_t*>(characters.data()), characters.size());
  if (parse(&converted, before) != fromText) std::abort();

  talvo::io::FileBuf file(path, talvo::AbstractFile::in | talvo::AbstractFile::binary);
  if (!file.is_open()) std::abort();
  const Outcome fromFile = parse(&file, before);

  talvo::io::FileBuf small(path, talvo::AbstractFile::in | talvo::AbstractFile::binary);
  char piece[16];
  const size_t n = size ? data[0] % sizeof piece : 0;
  if (n)
    small.pubsetbuf(piece, std::streamsize(n));
  else
    small.pubsetbuf(nullptr, 0);  // one character at a time
  if (parse(&small, before) != fromFile) std::abort();

  talvo::io::MemBuf memory;
  fuzz::setBytes(memory, data, size);
  if (parse(&memory, before) != fromFile) std::abort();

  // Tokens one by one: each takes at least one character.
  talvo::io::MemBuf tokens;
  fuzz::setBytes(tokens, data, size);
  std::istream in(&tokens);
  size_t count = 0;
  while (talvo::next_log_config_token(in).type != talvo::LogConfigToken::end)
    if (++count > size) std::abort();
  return 0;
}
