// The rw class registry, the serialisable object base, and the registrations
// of the engine core's classes.
//
// The registrations live here, beside the lookup, so that every program
// that can create an object by name links them: a registration in a file of
// its own would be an unreferenced library member, dropped by the linker.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>

#include "base/err.h"
#include "engine/img_row.h"
#include "engine/rw.h"
#include "platform/win_kernel.h"

namespace {

// h = 5h + b over the name's bytes taken as signed 8-bit values.
struct NameHash {
  size_t operator()(const std::string& name) const {
    uint32_t h = 0;
    for (char c : name) h = 5 * h + uint32_t(int32_t(static_cast<signed char>(c)));
    return h;
  }
};

using Registry = std::unordered_map<std::string, rwCreateFn, NameHash>;

Registry& rwClassRegistry() {
  static Registry registry(100);
  return registry;
}

[[maybe_unused]] const bool g_imgRowRegistered = rwRegisterClass("imgRowCTy", imgRowCTy::Create);
[[maybe_unused]] const bool g_rwObjRegistered = rwRegisterClass("rwObjCTy", rwObjCTy::Create);

}  // namespace

const char* rwObjCTy::GetClassName() const { return "rwObjCTy"; }
void rwObjCTy::Write(rwStream*) {}
void rwObjCTy::Read(rwStream*) {}
rwObjCTy* rwObjCTy::Create() { return new rwObjCTy; }

bool rwRegisterClass(const char* className, rwCreateFn create) {
  rwClassRegistry()[className] = create;
  return true;
}

rwObjCTy* rwObjCreateByClassName(const char* className) {
  const Registry& registry = rwClassRegistry();
  // A lookup never enters the name.
  auto it = registry.find(className ? className : "");
  if (it != registry.end() && it->second) return it->second();
  char text[512];
  std::snprintf(text, sizeof text, "rwObjCreateByClassName: Unknown class name. %s", className ? className : "");
  // The name comes from a file: it goes out as text, never as a format.
  if (errPrintf(ERR_LEVEL_ERROR, "%s", text) == ERR_OUTCOME_RETRY) DebugBreak();
  return nullptr;
}
