#include "tools/config.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "base/err.h"
#include "engine/cfg.h"
#include "platform/win_file.h"
#include "platform/win_kernel.h"
#include "tools/layout.h"

namespace {

// What a key of a new file must hold in an existing one.
enum class Need {
  Kept,        // the player's: never changed
  Exact,       // the scene's value
  NonZero,     // any whole number but 0
  Title,       // any text but none and the engine's default title
  Position,    // a whole number inside the scene, x or y
  FrameLimit,  // milliseconds a pass takes at least, as the engine reads them: 1000 at most
  Present,     // any value; written when missing
};

struct Key {
  std::string name;
  std::string value;
  Need need;
};

// The engine's window title when the file names none.
constexpr std::string_view kEngineTitle = "Sample Demo Game";
// The slowest pass a repaired file keeps: one a second.
constexpr int kSlowestPassMs = 1000;

// Every key of a new file, in its order.
std::vector<Key> gameKeys() {
  std::vector<Key> keys = {
      {"SCR_LX", std::to_string(kSceneW), Need::Exact},
      {"SCR_LY", std::to_string(kSceneH), Need::Exact},
      {"SCR_BPP", "16", Need::Kept},
      {"USE_GFX", "1", Need::NonZero},
      {"FULL_SCREEN", "0", Need::Kept},
      {"WND_NAME", "Ball Maze", Need::Title},
      {"FPS_LIMIT", "10", Need::FrameLimit},
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

bool usable(const Key& key, cfgCTy* cfg) {
  const std::string_view value = cfg->GetStr(key.name.c_str());
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
    case Need::FrameLimit:
      return cfg->GetInt(key.name.c_str()) <= kSlowestPassMs;
  }
  return false;
}

}  // namespace

void newGameConfig(cfgCTy* cfg) {
  for (const Key& k : gameKeys()) cfg->SetStr(k.name.c_str(), k.value.c_str());
}

bool repairGameConfig(cfgCTy* cfg) {
  bool changed = false;
  for (const Key& key : gameKeys()) {
    // A missing frame limit is the engine's: none.
    const bool addedWhenMissing = key.need != Need::Kept && key.need != Need::FrameLimit;
    if (cfg->Find(key.name.c_str()) ? usable(key, cfg) : !addedWhenMissing) continue;
    cfg->SetStr(key.name.c_str(), key.value.c_str());
    changed = true;
  }
  return changed;
}

void restoreGameConfig(const std::string& path) {
  namespace fs = std::filesystem;
  errInit();
  cfgCTy cfg;
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (fs::is_directory(status))
    throw std::runtime_error(cfgSaveFailure(path.c_str(), ERROR_DIRECTORY_NOT_SUPPORTED) +
                             ": remove or rename it, and the next run writes a new one");
  if (fs::exists(status)) {
    // Read as empty, it would lose the player's values in the repair.
    FILE* readable = std::fopen(path.c_str(), "rb");
    if (!readable) throw std::runtime_error("'" + path + "' cannot be read: " + std::strerror(errno));
    std::fclose(readable);
    // As the game reads it: a malformed line ends nothing but itself.
    ERR_TRY(load) { cfg.Load(path.c_str()); }
    ERR_CATCH(load, code) { errEndCatch(errGetState(), &load); }
    ERR_END_TRY
    if (!repairGameConfig(&cfg)) return;
  } else {
    newGameConfig(&cfg);
  }
  if (!cfg.Save(path.c_str()))
    throw std::runtime_error(cfgSaveFailure(path.c_str(), GetLastError()) +
                             ". It is kept as it was, though the game may not play with it");
}
