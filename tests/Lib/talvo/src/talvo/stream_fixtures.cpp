#include "stream_fixtures.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "sandbox.h"
#include "support/shell.h"

namespace talvo_test {
namespace {

// Runs the script with Debian's Python; false (and a test failure) when it
// did not succeed.
bool run_python(const std::string& script, const std::vector<std::string>& args) {
  std::vector<std::string> all = {"-c", script};
  all.insert(all.end(), args.begin(), args.end());
  const bool ok = runPython(all) == 0;
  if (!ok) ADD_FAILURE() << "python fixture script failed:\n" << script;
  return ok;
}

const char* const zip_script = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    for i in range(2, len(sys.argv), 3):
        name, method, source = sys.argv[i:i + 3]
        with open(source, 'rb') as f:
            data = f.read()
        kind = zipfile.ZIP_DEFLATED if method == 'd' else zipfile.ZIP_STORED
        z.writestr(zipfile.ZipInfo(name, (2020, 1, 1, 0, 0, 0)), data, compress_type=kind)
)";

const char* const troubled_zip_script = R"(
import os, struct, subprocess, sys, zipfile
path, work, size = sys.argv[1], sys.argv[2], int(sys.argv[3])
data = bytes(i % 251 for i in range(size))
for name in ('bzip2.bin', 'encrypted.bin'):
    with open(os.path.join(work, name), 'wb') as f:
        f.write(data)
subprocess.run(['zip', '-q', '-Z', 'bzip2', path, 'bzip2.bin'], cwd=work, check=True)
subprocess.run(['zip', '-q', '-P', 'secret', path, 'encrypted.bin'], cwd=work, check=True)
with zipfile.ZipFile(path, 'a') as z:
    for name, kind in (('stored.bin', zipfile.ZIP_STORED), ('deflated.bin', zipfile.ZIP_DEFLATED),
                       ('flipped_middle.bin', zipfile.ZIP_STORED), ('flipped_end.bin', zipfile.ZIP_STORED),
                       ('cut.bin', zipfile.ZIP_DEFLATED)):
        z.writestr(zipfile.ZipInfo(name, (2020, 1, 1, 0, 0, 0)), data, compress_type=kind)
    infos = {i.filename: i for i in z.infolist()}
with open(path, 'rb') as f:
    raw = bytearray(f.read())

def local(name):  # the local header
    return infos[name].header_offset

def data(name):  # the member's packed data
    h = local(name)
    name_length, extra_length = struct.unpack_from('<HH', raw, h + 26)
    return h + 30 + name_length + extra_length

def central(name):  # the central directory entry
    at = raw.rfind(name.encode()) - 46
    assert raw[at:at + 4] == b'PK\x01\x02'
    return at

raw[data('flipped_middle.bin') + size // 2] ^= 0x55
raw[data('flipped_end.bin') + size - 10] ^= 0x55
half = infos['cut.bin'].compress_size // 2
struct.pack_into('<I', raw, local('cut.bin') + 18, half)
struct.pack_into('<I', raw, central('cut.bin') + 20, half)
with open(path, 'wb') as f:
    f.write(raw)
)";

const char* const zlib_script = R"(
import sys, zlib
with open(sys.argv[1], 'rb') as f:
    data = f.read()
with open(sys.argv[2], 'wb') as f:
    f.write(zlib.compress(data))
)";

}  // namespace

void write_zip(const std::string& path, const std::vector<ZipMember>& members) {
  const std::string dir = fresh_dir();
  std::vector<std::string> args = {path};
  for (size_t i = 0; i < members.size(); ++i) {
    const std::string source = dir + "/member" + std::to_string(i);
    write_file(source, members[i].bytes);
    args.insert(args.end(), {members[i].name, members[i].deflated ? "d" : "s", source});
  }
  run_python(zip_script, args);
}

void write_troubled_zip(const std::string& path) {
  run_python(troubled_zip_script, {path, fresh_dir(), std::to_string(troubled_size)});
}

std::string zlib_packed(const std::string& bytes) {
  const std::string dir = fresh_dir();
  write_file(dir + "/in", bytes);
  run_python(zlib_script, {dir + "/in", dir + "/out"});
  return read_file(dir + "/out");
}

std::string temp_file(const std::string& bytes) {
  const std::string path = fresh_dir() + "/data.bin";
  write_file(path, bytes);
  return path;
}

std::unique_ptr<talvo::io::MemBuf> memory(const std::string& bytes) {
  auto buffer = std::make_unique<talvo::io::MemBuf>();
  char* block = static_cast<char*>(std::malloc(bytes.size() + 1));
  if (!bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
  buffer->set_data(block, bytes.size(), bytes.size());
  return buffer;
}

std::string take(std::streambuf& buffer, std::streamsize n) {
  std::string s(static_cast<size_t>(n), '\0');
  s.resize(static_cast<size_t>(buffer.sgetn(s.data(), n)));
  return s;
}

std::string numbered(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i % 251);
  return s;
}

std::vector<std::string> lines_starting(const MainLogTail& log, const std::vector<std::string>& prefixes) {
  std::vector<std::string> found;
  for (const std::string& line : log.lines()) {
    for (const std::string& p : prefixes) {
      if (line.rfind(p, 0) == 0) found.push_back(line);
    }
  }
  return found;
}

std::string u32(uint32_t value) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(value >> (8 * i));
  return s;
}

std::string u16(uint16_t value) {
  return std::string{static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

}  // namespace talvo_test
