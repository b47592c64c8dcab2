#include "talvo/Registry.h"

#include "talvo/Log.h"
#include "talvo/Report.h"
#include "talvo/Stream.h"

namespace talvo {
namespace io {
namespace {

constexpr size_t initial_buckets = 100;
constexpr uint32_t max_name_length = 4096;

}  // namespace

std::map<std::string, Factory*>& factory_map() {
  static std::map<std::string, Factory*> map;
  return map;
}

bool canonical_factory_name(std::string& name) {
  static const struct {
    const char* long_word;
    const char* short_word;
  } words[] = {
      {"windows::", "win::"},         {"graphics::", "g::"}, {"mathematics::", "math::"},
      {"scene_graph::", "sg::"}, {"direct3d::", "d3d::"},
  };
  bool changed = false;
  for (const auto& w : words) {
    const std::string from = w.long_word;
    for (size_t at = name.find(from); at != std::string::npos; at = name.find(from, at)) {
      name.replace(at, from.size(), w.short_word);
      changed = true;
    }
  }
  return changed;
}

Factory* find_factory(const std::string& name) {
  const auto& map = factory_map();
  auto found = map.find(name);
  if (found != map.end()) return found->second;
  std::string canonical = name;
  if (!canonical_factory_name(canonical)) return nullptr;
  found = map.find(canonical);
  return found != map.end() ? found->second : nullptr;
}

// BasicRegistry

BasicRegistry::BasicRegistry()
    : objects_(initial_buckets), saved_ids_(initial_buckets), written_names_(initial_buckets) {}

void BasicRegistry::clear_objects() {
  objects_.clear();
  saved_ids_.clear();
}

void BasicRegistry::clear_factories() {
  factories_.clear();
  written_names_.clear();
}

void BasicRegistry::bind_id(void* object, uint32_t id) {
  if (id != 1) objects_[id] = object;
}

void BasicRegistry::unbind_id(uint32_t id) {
  if (id != 1) objects_.erase(id);
}

bool BasicRegistry::save_object_ref(OStream& out, uint32_t id, const std::string& factory_name, bool anonymous) {
  out.write_u32(anonymous ? 1 : id);
  if (out.fail()) return false;
  // A null or already saved object is the reference alone.
  if (!anonymous && (id == 0 || saved_ids_.count(id) != 0)) return false;
  if (!write_factory(out, factory_name)) return false;
  if (!anonymous) saved_ids_.insert(id);
  return true;
}

bool BasicRegistry::load_object_ref(IStream& in, ObjectSlot& slot, uint32_t& id) {
  id = 0;
  uint32_t value = 0;
  if (in.read_u32(value).fail() || value == 0) return false;
  id = value;
  if (value != 1) {
    const auto bound = objects_.find(value);
    if (bound != objects_.end()) {
      slot.object = bound->second;
      return false;
    }
  }
  Factory* factory = read_factory(in, true);
  if (!slot.factory) slot.factory = factory;
  return true;
}

bool BasicRegistry::skip_object_ref(IStream& in) {
  uint32_t value = 0;
  if (in.read_u32(value).fail() || value == 0) return false;
  if (value == 1 || objects_.count(value) == 0) read_factory(in, false);
  return true;
}

Factory* BasicRegistry::read_factory_name(IStream& in, uint32_t length, bool report_missing) {
  if (length == 0 || length > max_name_length) {
    error_log << "Invalid factory name length (" << length << ")." << std::endl;
    const InvalidFactoryNameLengthError error(length);
    in.set_failed(&error);
    return nullptr;
  }
  std::string bytes(length, '\0');
  in.read_all(bytes.data(), length);
  if (in.fail()) {
    error_log << "Reading factory name failed." << std::endl;
    return nullptr;
  }
  const std::string name = bytes.c_str();  // the name ends at a NUL
  Factory* factory = find_factory(name);
  factories_.push_back(factory);
  if (!factory && report_missing) warning_log << "'" << name << "' factory not found." << std::endl;
  return factory;
}

Factory* BasicRegistry::factory_by_id(IStream& in, uint32_t id) {
  if (id >= 1 && id <= factories_.size()) return factories_[id - 1];
  const auto count = static_cast<uint32_t>(factories_.size());
  error_log << "Invalid factory id (" << id << ") while loading object. There are " << count
            << " factories loaded at the time." << std::endl;
  const InvalidFactoryIdError error(id, count);
  in.set_failed(&error);
  return nullptr;
}

// Registry1

bool Registry1::write_factory(OStream& out, const std::string& name) {
  const auto known = written_names_.find(name);
  if (known != written_names_.end()) {
    out.write_u32(0).write_u32(known->second);
    if (!out.fail()) return true;
    error_log << "Failed to write factory id." << std::endl;
    return false;
  }
  if (name.empty()) {
    throw_logged({"\\Lib\\talvo\\src\\talvo\\Registry1.cpp", 43, "talvo::io::Registry1::write_factory"},
                 Failure("Invalid attempt to store empty factory name."));
  }
  const auto id = static_cast<uint32_t>(written_names_.size() + 1);
  out.write_u32(static_cast<uint32_t>(name.size())).write(name.data(), static_cast<std::streamsize>(name.size()));
  if (!out.fail()) {
    written_names_.emplace(name, id);
    return true;
  }
  error_log << "Failed to write factory name." << std::endl;
  return false;
}

Factory* Registry1::read_factory(IStream& in, bool report_missing) {
  uint32_t word = 0;
  if (in.read_u32(word).fail()) return nullptr;
  if (word != 0) return read_factory_name(in, word, report_missing);
  uint32_t id = 0;
  if (in.read_u32(id).fail()) {
    error_log << "Failed to read factory id." << std::endl;
    return nullptr;
  }
  return factory_by_id(in, id);
}

// The legacy registries

bool G1RwRegistry1::write_factory(OStream&, const std::string&) { not_implemented(); }

Factory* G1RwRegistry1::read_factory(IStream& in, bool report_missing) {
  uint32_t length = 0;
  if (in.read_u32(length).fail() || length == 0xFFFFFFFF) return nullptr;
  return read_factory_name(in, length, report_missing);
}

bool G1RwRegistry2::write_factory(OStream&, const std::string&) { not_implemented(); }

Factory* G1RwRegistry2::read_factory(IStream& in, bool report_missing) {
  uint16_t index = 0;
  if (in.read_u16(index).fail()) return nullptr;
  if (index != 0xFFFF) return factory_by_id(in, static_cast<uint16_t>(index + 1));
  uint32_t length = 0;
  if (in.read_u32(length).fail()) {
    error_log << "Failed to read factory name length." << std::endl;
    return nullptr;
  }
  return read_factory_name(in, length, report_missing);
}

// Error descriptions

size_t InvalidFactoryNameLengthError::describe(char* buffer, size_t size) const {
  if (!buffer || size == 0) return 0;
  const size_t n = format_bounded(buffer, size, "Invalid factory name length (%u).", static_cast<unsigned>(length));
  return n + ErrorInfo::describe(buffer + n, size - n);
}

size_t InvalidFactoryIdError::describe(char* buffer, size_t size) const {
  if (!buffer || size == 0) return 0;
  const size_t n = format_bounded(buffer, size,
                                  "Invalid factory id (%u) while loading object. There are %u factories loaded at "
                                  "this time.",
                                  static_cast<unsigned>(id), static_cast<unsigned>(count));
  return n + ErrorInfo::describe(buffer + n, size - n);
}

}  // namespace io
}  // namespace talvo
