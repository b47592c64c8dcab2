// The log file read back into a report box: any bytes as the log file,
// read into the ring of recent lines from a binary input file stream (as the
// box opens it) and from a string stream, from the start and from the
// middle. The ring must give the last nine lines before the end, each cut
// at its NUL or after 258 characters and without a CR at its end, empty
// ones left out; the stream must be good and where it was. The lines are
// then laid out as the box shows them, at a screen's width and at a few
// characters: no line of the box may hold more characters than that, and
// only blanks and line breaks may change. The seeds are made by
// fuzz/recent_log_seeds.py.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "input_file.h"
#include "platform/box_layout.h"
#include "talvo/Report.h"

namespace {

// What the box shows of the log from that offset on.
std::string expectedLines(const std::string& log, size_t from) {
  std::vector<std::string> lines;
  for (size_t start = from; start < log.size();) {
    size_t end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    std::string text = log.substr(start, std::min<size_t>(end - start, talvo::RecentEntry::text_size - 2));
    text.resize(std::strlen(text.c_str()));
    if (!text.empty() && text.back() == '\r') text.pop_back();
    lines.push_back(text);
    start = end + 1;
  }
  std::string shown;
  for (size_t i = lines.size() > 9 ? lines.size() - 9 : 0; i < lines.size(); ++i)
    if (!lines[i].empty()) shown += lines[i] + "\n";
  return shown;
}

std::string readRing(std::istream& in) {
  talvo::RecentEntry ring[talvo::recent_entries];
  for (int i = 0; i < talvo::recent_entries; ++i) {
    std::memset(ring[i].text, 'x', sizeof ring[i].text);  // no terminator left over
    ring[i].text[0] = '\0';
    ring[i].next = &ring[(i + 1) % talvo::recent_entries];
  }
  const std::streampos start = in.tellg();
  std::ostringstream shown;
  talvo::write_recent_entries(shown, talvo::read_recent_entries(in, ring));
  if (!in.good() || in.tellg() != start) std::abort();
  return shown.str();
}

bool isBreakOrBlank(char c) { return c == '\n' || c == ' ' || c == '\t'; }

std::string withoutBreaksAndBlanks(const std::string& text) {
  std::string kept;
  for (char c : text)
    if (!isBreakOrBlank(c)) kept.push_back(c);
  return kept;
}

void checkLayout(const std::string& text, size_t columns) {
  const std::string laid = plat::detail::wrapBoxText(text, columns);
  size_t characters = 0;
  for (char c : laid) {
    if (c == '\n') {
      characters = 0;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80 && ++characters > columns) {
      std::abort();
    }
  }
  if (withoutBreaksAndBlanks(laid) != withoutBreaksAndBlanks(text)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  const std::string log(reinterpret_cast<const char*>(data), size);
  const char* path = fuzz::writeInput("input.log", data, size);
  std::string fromStart;
  for (size_t from : {size_t{0}, size / 2}) {
    const std::string expected = expectedLines(log, from);
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file) std::abort();
    file.seekg(static_cast<std::streamoff>(from));
    std::istringstream memory(log);
    memory.seekg(static_cast<std::streamoff>(from));
    if (readRing(file) != expected || readRing(memory) != expected) std::abort();
    if (from == 0) fromStart = expected;
  }
  checkLayout(fromStart, plat::detail::boxColumns(800));
  checkLayout(fromStart, 1 + size % 7);
  return 0;
}
