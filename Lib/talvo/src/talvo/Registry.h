// Object registries of the io streams. A registry numbers the objects a
// stream has read or written, so that a second reference to an object is a
// back reference, and reads and writes the factory records that say which
// factory makes each new object. Records are little-endian:
//
//   registry        known factory               new factory
//   Registry1       u32 0, u32 id (from 1)      u32 name length (not 0), name
//   G1RwRegistry1   (every record names one)    u32 name length, name;
//                                               0xFFFFFFFF: no factory
//   G1RwRegistry2   u16 id - 1                  u16 0xFFFF, u32 length, name
//
// Names are 1 to 4096 bytes. Factory ids count from 1 in the order names
// are first met in a stream. Object ids: 0 is the null reference, 1 an
// anonymous object (never bound).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "talvo/Exception.h"

namespace talvo {

// What makes the objects of one class when a stream is read.
class Factory {
 public:
  virtual ~Factory() = default;
};

namespace io {

class IStream;
class OStream;

// The process-wide table of factories by name, built on first use.
std::map<std::string, Factory*>& factory_map();
// The factory of the name, also under its canonical name; null when none.
Factory* find_factory(const std::string& name);
// Shortens the long namespace words of a factory name ("windows::" to
// "win::", "graphics::" to "g::", "mathematics::" to "math::",
// "scene_graph::" to "sg::", "direct3d::" to "d3d::"); true when anything
// was replaced.
bool canonical_factory_name(std::string& name);

class Registry {
 public:
  // An object being read and the factory that makes it.
  struct ObjectSlot {
    void* object = nullptr;
    Factory* factory = nullptr;
  };

  virtual ~Registry() = default;
  // Clears objects and factories.
  virtual void reset() {
    clear_objects();
    clear_factories();
  }
  virtual void clear_objects() = 0;
  virtual void clear_factories() = 0;
  // Writes the reference; true when the object's data must follow.
  virtual bool save_object_ref(OStream& out, uint32_t id, const std::string& factory_name, bool anonymous) = 0;
  // Reads a reference. False for the null reference, a failed read or a
  // back reference (the slot then holds the bound object); true when a new
  // object follows (the slot holds its factory).
  virtual bool load_object_ref(IStream& in, ObjectSlot& slot, uint32_t& id) = 0;
  virtual void bind_id(void* object, uint32_t id) = 0;
  virtual void unbind_id(uint32_t id) = 0;
  // Reads a reference and drops its factory record; true for any object.
  virtual bool skip_object_ref(IStream& in) = 0;
};

class BasicRegistry : public Registry {
 public:
  BasicRegistry();

  void clear_objects() override;
  void clear_factories() override;
  bool save_object_ref(OStream& out, uint32_t id, const std::string& factory_name, bool anonymous) override;
  bool load_object_ref(IStream& in, ObjectSlot& slot, uint32_t& id) override;
  void bind_id(void* object, uint32_t id) override;
  void unbind_id(uint32_t id) override;
  bool skip_object_ref(IStream& in) override;

  virtual bool write_factory(OStream& out, const std::string& name) = 0;
  // The factory of the next record, or null (a failure, no factory, or a
  // name that no factory has: logged when report_missing is set).
  virtual Factory* read_factory(IStream& in, bool report_missing) = 0;

  size_t factory_count() const { return factories_.size(); }

 protected:
  // Reads a name of the length and takes its factory as the next id.
  Factory* read_factory_name(IStream& in, uint32_t length, bool report_missing);
  // The factory of an id read from the stream, which may be invalid.
  Factory* factory_by_id(IStream& in, uint32_t id);

  std::unordered_map<uint32_t, void*> objects_;
  std::vector<Factory*> factories_;
  std::unordered_set<uint32_t> saved_ids_;
  std::unordered_map<std::string, uint32_t> written_names_;
};

// The native format's registry; also for data without a header.
class Registry1 : public BasicRegistry {
 public:
  // An empty new name throws talvo::io::Failure.
  bool write_factory(OStream& out, const std::string& name) override;
  Factory* read_factory(IStream& in, bool report_missing) override;
};

// The registries of "rw1" and "rw2" streams; they only read.
class G1RwRegistry1 : public BasicRegistry {
 public:
  bool write_factory(OStream& out, const std::string& name) override;
  Factory* read_factory(IStream& in, bool report_missing) override;
};

class G1RwRegistry2 : public BasicRegistry {
 public:
  bool write_factory(OStream& out, const std::string& name) override;
  Factory* read_factory(IStream& in, bool report_missing) override;
};

class InvalidFactoryNameLengthError : public ErrorInfo {
 public:
  explicit InvalidFactoryNameLengthError(uint32_t length) : length(length) {}
  size_t describe(char* buffer, size_t size) const override;

  uint32_t length;
};

class InvalidFactoryIdError : public ErrorInfo {
 public:
  InvalidFactoryIdError(uint32_t id, uint32_t count) : id(id), count(count) {}
  size_t describe(char* buffer, size_t size) const override;

  uint32_t id;
  uint32_t count;  // factories loaded
};

}  // namespace io
}  // namespace talvo
