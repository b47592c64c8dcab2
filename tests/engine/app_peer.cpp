// The second instance of the single-instance test: the application started
// with the given executable path and instance directory. Should it not find
// the first instance, its pre-init leaves a file "peer_ran" in the current
// directory.
#include <cstdio>

#include "app_hooks.h"
#include "engine/app/app.h"
#include "platform/test_api.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  plat::test::setModuleFileName(argv[1]);
  plat::test::setInstanceDir(argv[2]);
  app_test::script().onPreInit = [] {
    if (FILE* f = std::fopen("peer_ran", "w")) std::fclose(f);
  };
  return WinMain(nullptr, nullptr, nullptr, SW_SHOWNORMAL);
}
