#include "sandbox.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/test_api.h"

namespace fs = std::filesystem;

namespace talvo_test {
namespace {

std::string g_sandbox;

class Sandbox : public ::testing::Environment {
 public:
  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/talvo-core-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    g_sandbox = pattern;
    fs::create_directory(g_sandbox + "/tmp");
    setenv("TMPDIR", (g_sandbox + "/tmp").c_str(), 1);
    plat::test::setModuleFileName((g_sandbox + "/game.exe").c_str());
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(g_sandbox, ignored);
  }
};

[[maybe_unused]] const bool g_registered = [] {
  ::testing::AddGlobalTestEnvironment(new Sandbox);
  return true;
}();

}  // namespace

const std::string& sandbox() { return g_sandbox; }

std::string fresh_dir() {
  std::string pattern = g_sandbox + "/t-XXXXXX";
  if (!mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp in " << g_sandbox;
  return pattern;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string main_log_path() { return g_sandbox + "/game.log"; }

MainLogTail::MainLogTail() : start_(read_file(main_log_path()).size()) {}

std::string MainLogTail::text() const {
  std::string all = read_file(main_log_path());
  return all.size() > start_ ? all.substr(start_) : std::string();
}

std::vector<std::string> MainLogTail::lines() const {
  std::vector<std::string> out;
  std::string all = text();
  size_t pos = 0;
  for (size_t end; (end = all.find("\r\n", pos)) != std::string::npos; pos = end + 2) {
    out.push_back(all.substr(pos, end - pos));
  }
  if (pos < all.size()) out.push_back(all.substr(pos));
  return out;
}

}  // namespace talvo_test
