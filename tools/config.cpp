#include "tools/config.h"

#include <cctype>
#include <string_view>
#include <vector>

#include "tools/layout.h"

namespace {

// What a key of a new file must hold in an existing one.
enum class Need {
  Kept,      // the player's: never changed
  Exact,     // the scene's value
  NonZero,   // any whole number but 0
  Title,     // any text but none and the engine's default title
  Position,  // a whole number inside the scene, x or y
  Present,   // any value; written when missing
};

struct Key {
  std::string name;
  std::string value;
  Need need;
};

// The engine's window title when the file names none.
constexpr std::string_view kEngineTitle = "Sample Demo Game";

// Every key of a new file, in its order.
std::vector<Key> gameKeys() {
  std::vector<Key> keys = {
      {"SCR_LX", std::to_string(kSceneW), Need::Exact},
      {"SCR_LY", std::to_string(kSceneH), Need::Exact},
      {"SCR_BPP", "16", Need::Kept},
      {"USE_GFX", "1", Need::NonZero},
      {"FULL_SCREEN", "0", Need::Kept},
      {"WND_NAME", "Ball Maze", Need::Title},
      {"FPS_LIMIT", "10", Need::Kept},
      {"NEED_DRAW_FPS", "0", Need::Kept},
      {"start_x", std::to_string(Maze::start().x), Need::Position},
      {"start_y", std::to_string(Maze::start().y), Need::Position},
      {"music", "1", Need::Present},
      {"snd_volume", "80", Need::Present},
      {"share_image", "0", Need::Kept},
      {"best_result", "0", Need::Kept},
  };
  for (const Placement& p : kPlacements) {
    keys.push_back({std::string(p.name) + "_x", std::to_string(p.x), Need::Position});
    keys.push_back({std::string(p.name) + "_y", std::to_string(p.y), Need::Position});
  }
  return keys;
}

// Blanks as the engine's reader takes them: bytes 1 to 32.
bool blank(char c) { return static_cast<unsigned char>(c) >= 1 && static_cast<unsigned char>(c) <= 32; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// A whole decimal number, optionally signed, and nothing else.
bool wholeNumber(std::string_view s, long* out) {
  size_t i = s.size() > 0 && (s[0] == '-' || s[0] == '+') ? 1 : 0;
  if (i == s.size() || s.size() - i > 9) return false;
  long v = 0;
  for (size_t k = i; k < s.size(); ++k) {
    if (!std::isdigit(static_cast<unsigned char>(s[k]))) return false;
    v = v * 10 + (s[k] - '0');
  }
  *out = s[0] == '-' ? -v : v;
  return true;
}

bool usable(const Key& key, std::string_view value) {
  long n = 0;
  switch (key.need) {
    case Need::Kept:
    case Need::Present:
      return true;
    case Need::Exact:
      return wholeNumber(value, &n) && std::to_string(n) == key.value;
    case Need::NonZero:
      return wholeNumber(value, &n) && n != 0;
    case Need::Title:
      return !value.empty() && value != kEngineTitle;
    case Need::Position: {
      const bool isX = key.name.back() == 'x';
      return wholeNumber(value, &n) && n >= 0 && n < (isX ? kSceneW : kSceneH);
    }
  }
  return false;
}

// One line of the file, its end included.
struct Line {
  std::string text;
  std::string name, value;  // both empty when the line sets nothing
};

std::vector<Line> splitLines(const std::string& text) {
  std::vector<Line> lines;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find('\n', at);
    Line line;
    line.text = text.substr(at, end == std::string::npos ? std::string::npos : end + 1 - at);
    at = end == std::string::npos ? text.size() : end + 1;
    std::string_view body = line.text;
    if (const size_t comment = body.find("--"); comment != std::string_view::npos) body = body.substr(0, comment);
    const size_t eq = body.find('=');
    if (eq != std::string_view::npos && !trim(body.substr(0, eq)).empty()) {
      line.name = trim(body.substr(0, eq));
      line.value = trim(body.substr(eq + 1));
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace

std::string newGameConfig() {
  std::string text;
  for (const Key& k : gameKeys()) text += k.name + " = " + k.value + "\n";
  return text;
}

std::string repairGameConfig(const std::string& text) {
  std::vector<Line> lines = splitLines(text);
  const bool crlf = !lines.empty() && lines[0].text.size() >= 2 && lines[0].text.ends_with("\r\n");
  const std::string lineEnd = crlf ? "\r\n" : "\n";
  std::string added;
  for (const Key& key : gameKeys()) {
    Line* last = nullptr;
    for (Line& line : lines)
      if (!line.name.empty() && sameName(line.name, key.name)) last = &line;
    if (!last) {
      if (key.need != Need::Kept) added += key.name + " = " + key.value + lineEnd;
      continue;
    }
    if (usable(key, last->value)) continue;
    const bool hadEnd = last->text.ends_with("\n");
    const std::string end = last->text.ends_with("\r\n") ? "\r\n" : hadEnd ? "\n" : "";
    last->text = last->name + " = " + key.value + end;
  }
  std::string out;
  for (const Line& line : lines) out += line.text;
  if (!added.empty() && !out.empty() && out.back() != '\n') out += lineEnd;
  return out + added;
}
