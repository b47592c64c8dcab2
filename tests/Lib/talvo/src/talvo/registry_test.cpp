// Object registries: factory records of the three layouts read from memory,
// records written through the output stream and read back, object
// references, and the invalid id and name length errors.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sandbox.h"
#include "stream_fixtures.h"
#include "talvo/Registry.h"
#include "talvo/Stream.h"
#include "talvo/StreamBuf.h"

namespace {

using talvo::Factory;
using talvo::io::BasicRegistry;
using talvo::io::G1RwRegistry1;
using talvo::io::G1RwRegistry2;
using talvo::io::IStream;
using talvo::io::MemBuf;
using talvo::io::OStream;
using talvo::io::Registry;
using talvo::io::Registry1;
using talvo::io::Stream;
using talvo_test::lines_starting;
using talvo_test::MainLogTail;
using talvo_test::memory;
using talvo_test::take;
using talvo_test::thrown;
using talvo_test::u16;
using talvo_test::u32;

constexpr uint32_t kDefaultMask = Stream::badbit | Stream::failbit;

// A factory in the process-wide map while the object lives.
class Registered : public Factory {
 public:
  explicit Registered(std::string name) : name_(std::move(name)) { talvo::io::factory_map()[name_] = this; }
  ~Registered() override { talvo::io::factory_map().erase(name_); }

 private:
  std::string name_;
};

TEST(Registry, ReadsFactoryRecords) {
  Registered known("known");
  Factory* const k = &known;
  struct Case {
    const char* what;
    std::function<BasicRegistry*()> make;
    std::string bytes;
    std::vector<Factory*> factories;  // one read_factory each, report missing on
    uint32_t state;
    std::vector<std::string> logged;
  } cases[] = {
      {"Registry1: new names, then their ids", [] { return new Registry1; },
       u32(5) + "other" + u32(5) + "known" + u32(0) + u32(1) + u32(0) + u32(2),
       {nullptr, k, nullptr, k}, 0, {"[talvo.io] warning: 'other' factory not found."}},
      {"Registry1: id past the factories met", [] { return new Registry1; }, u32(5) + "known" + u32(0) + u32(3),
       {k, nullptr}, Stream::failbit,
       {"[talvo.io] error: Invalid factory id (3) while loading object. There are 1 factories loaded at the time."}},
      {"Registry1: id 0", [] { return new Registry1; }, u32(0) + u32(0), {nullptr}, Stream::failbit,
       {"[talvo.io] error: Invalid factory id (0) while loading object. There are 0 factories loaded at the time."}},
      {"Registry1: id cut short", [] { return new Registry1; }, u32(0) + "\1", {nullptr},
       Stream::eofbit | Stream::failbit, {"[talvo.io] error: Failed to read factory id."}},
      {"Registry1: name cut short", [] { return new Registry1; }, u32(5) + "kno", {nullptr},
       Stream::eofbit | Stream::failbit, {"[talvo.io] error: Reading factory name failed."}},
      {"Registry1: name length 4097", [] { return new Registry1; }, u32(4097), {nullptr}, Stream::failbit,
       {"[talvo.io] error: Invalid factory name length (4097)."}},
      {"Registry1: name length 4096", [] { return new Registry1; }, u32(4096) + std::string(4096, 'n'), {nullptr}, 0,
       {"[talvo.io] warning: '" + std::string(4096, 'n') + "' factory not found."}},
      {"rw1: names only, 0xFFFFFFFF is none", [] { return new G1RwRegistry1; },
       u32(5) + "known" + u32(0xFFFFFFFF) + u32(5) + "known", {k, nullptr, k}, 0, {}},
      {"rw1: length 0", [] { return new G1RwRegistry1; }, u32(0), {nullptr}, Stream::failbit,
       {"[talvo.io] error: Invalid factory name length (0)."}},
      {"rw2: new name, then its index", [] { return new G1RwRegistry2; },
       u16(0xFFFF) + u32(5) + "known" + u16(0) + u16(0xFFFF) + u32(5) + "other" + u16(1),
       {k, k, nullptr, nullptr}, 0, {"[talvo.io] warning: 'other' factory not found."}},
      {"rw2: index 0 with no factory met", [] { return new G1RwRegistry2; }, u16(0), {nullptr}, Stream::failbit,
       {"[talvo.io] error: Invalid factory id (1) while loading object. There are 0 factories loaded at the time."}},
      {"rw2: name length missing", [] { return new G1RwRegistry2; }, u16(0xFFFF), {nullptr},
       Stream::eofbit | Stream::failbit, {"[talvo.io] error: Failed to read factory name length."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto buffer = memory(c.bytes);
    IStream in(buffer.get());
    in.exceptions(0);
    std::unique_ptr<BasicRegistry> registry(c.make());
    MainLogTail log;
    for (Factory* expected : c.factories) EXPECT_EQ(registry->read_factory(in, true), expected);
    EXPECT_EQ(in.rdstate(), c.state);
    EXPECT_EQ(lines_starting(log, {"[talvo.io] "}), c.logged);
  }
}

TEST(Registry, InvalidRecordsThrowUnderTheMask) {
  struct Case {
    std::string bytes;
    std::string text;
  } cases[] = {
      {u32(0) + u32(3),
       "Invalid factory id (3) while loading object. There are 0 factories loaded at this time. "
       "('class talvo::io::MemBuf')"},
      {u32(0x10000), "Invalid factory name length (65536). ('class talvo::io::MemBuf')"},
  };
  for (const Case& c : cases) {
    auto buffer = memory(c.bytes);
    IStream in(buffer.get());
    in.exceptions(kDefaultMask);
    Registry1 registry;
    EXPECT_EQ(thrown<talvo::io::Failure>([&] { registry.read_factory(in, true); }), c.text);
  }
}

TEST(Registry, FactoryNamesCanonical) {
  struct Case {
    std::string name;
    std::string canonical;
    bool changed;
  } cases[] = {
      {"windows::graphics::X", "win::g::X", true},
      {"mathematics::scene_graph::direct3d::Y", "math::sg::d3d::Y", true},
      {"a::windows::windows::b", "a::win::win::b", true},
      {"talvo::g::Image", "talvo::g::Image", false},
      {"Windows::X", "Windows::X", false},
  };
  for (const Case& c : cases) {
    std::string name = c.name;
    EXPECT_EQ(talvo::io::canonical_factory_name(name), c.changed) << c.name;
    EXPECT_EQ(name, c.canonical);
  }
  Registered short_name("win::g::X");
  EXPECT_EQ(talvo::io::find_factory("windows::graphics::X"), &short_name);
  EXPECT_EQ(talvo::io::find_factory("win::g::X"), &short_name);
  EXPECT_EQ(talvo::io::find_factory("windows::g::Y"), nullptr);
}

TEST(Registry, RecordsWrittenAndReadBack) {
  Registered a("a::A");
  MemBuf buffer;
  OStream out(&buffer);
  Registry1 writer;
  EXPECT_TRUE(writer.save_object_ref(out, 5, "a::A", false));   // new object, new factory
  EXPECT_FALSE(writer.save_object_ref(out, 5, "a::A", false));  // saved already: the reference alone
  EXPECT_TRUE(writer.save_object_ref(out, 9, "b::B", true));    // anonymous, second factory
  EXPECT_TRUE(writer.save_object_ref(out, 6, "a::A", false));   // known factory: its id
  EXPECT_FALSE(writer.save_object_ref(out, 0, "a::A", false));  // null reference
  EXPECT_TRUE(out.good());
  const std::string expected = u32(5) + u32(4) + "a::A" + u32(5) + u32(1) + u32(4) + "b::B" + u32(6) + u32(0) +
                               u32(1) + u32(0);
  EXPECT_EQ(take(buffer, 1000), expected);

  ASSERT_EQ(buffer.pubseekpos(0, std::ios_base::in), std::streampos(0));
  IStream in(&buffer);
  in.exceptions(0);
  Registry1 reader;
  int object = 0;
  struct Step {
    bool result;
    uint32_t id;
    void* object;
    Factory* factory;
  } steps[] = {
      {true, 5, nullptr, &a},     // a new object: the caller reads and binds it
      {false, 5, &object, nullptr},  // a back reference
      {true, 1, nullptr, nullptr},   // anonymous, factory b::B (not registered)
      {true, 6, nullptr, &a},
      {false, 0, nullptr, nullptr},  // null reference
      {false, 0, nullptr, nullptr},  // the end of the data
  };
  for (const Step& s : steps) {
    Registry::ObjectSlot slot;
    uint32_t id = 99;
    EXPECT_EQ(reader.load_object_ref(in, slot, id), s.result);
    EXPECT_EQ(id, s.id);
    EXPECT_EQ(slot.object, s.object);
    EXPECT_EQ(slot.factory, s.factory);
    if (s.result && id == 5) reader.bind_id(&object, id);
  }
  EXPECT_EQ(reader.factory_count(), 2u);

  // Skipping reads the same records (the first object bound as a reader
  // would); a reset forgets factories and objects.
  ASSERT_EQ(buffer.pubseekpos(0, std::ios_base::in), std::streampos(0));
  in.clear();
  Registry1 skipper;
  EXPECT_TRUE(skipper.skip_object_ref(in));
  skipper.bind_id(&object, 5);
  for (bool result : {true, true, true, false}) EXPECT_EQ(skipper.skip_object_ref(in), result);
  EXPECT_EQ(skipper.factory_count(), 2u);
  skipper.reset();
  EXPECT_EQ(skipper.factory_count(), 0u);
}

TEST(Registry, WriteFailures) {
  // Only the native registry writes.
  MemBuf buffer;
  OStream out(&buffer);
  for (BasicRegistry* legacy : std::initializer_list<BasicRegistry*>{new G1RwRegistry1, new G1RwRegistry2}) {
    std::unique_ptr<BasicRegistry> owned(legacy);
    EXPECT_EQ(thrown<talvo::Exception>([&] { legacy->write_factory(out, "a::A"); }), "NOT IMPLEMENTED");
  }

  Registry1 registry;
  MainLogTail log;
  EXPECT_EQ(thrown<talvo::io::Failure>([&] { registry.write_factory(out, ""); }),
            "Invalid attempt to store empty factory name.");
  const std::vector<std::string> lines = log.lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1], std::string(23, ' ') +
                          "\\Lib\\talvo\\src\\talvo\\Registry1.cpp(43) : talvo::io::Registry1::write_factory : ");

  // A buffer that takes nothing: the write fails and says so.
  struct Full : std::streambuf {
    int_type overflow(int_type) override { return traits_type::eof(); }
  } full;
  OStream refused(&full);
  refused.exceptions(0);
  MainLogTail refusal_log;
  EXPECT_FALSE(registry.write_factory(refused, "a::A"));
  EXPECT_EQ(refused.rdstate(), Stream::eofbit | Stream::failbit);
  EXPECT_EQ(lines_starting(refusal_log, {"[talvo.io] "}), std::vector<std::string>{"[talvo.io] error: Failed to write factory name."});
  EXPECT_FALSE(registry.save_object_ref(refused, 7, "a::A", false));

  // Under the mask a short write throws; without a buffer a write is bad.
  OStream throwing(&full);
  EXPECT_THROW(throwing.write_u32(1), talvo::io::Failure);
  OStream none(nullptr);
  none.exceptions(0);
  none.write("x", 1);
  EXPECT_EQ(none.rdstate(), Stream::badbit | Stream::failbit);
}

}  // namespace
