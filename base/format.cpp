// The base formatter.
#include "base/format.h"

#include <algorithm>
#include <cstring>

#include "base/err.h"

namespace {

char g_buffer[STR_FORMAT_BUFFER_SIZE];
strFormatRecord g_default{nullptr, 0, 0, 0};

constexpr size_t kWorkSize = 512;
const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";

char upperOf(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The text of one field: narrow or 16-bit characters.
struct FieldText {
  const char* narrow = nullptr;
  const uint16_t* wide = nullptr;
  size_t length = 0;
  char at(size_t i) const { return wide ? static_cast<char>(wide[i] & 0xFF) : narrow[i]; }
};

// One directive as parsed: flags, width, precision and size.
struct Parsed {
  bool plus = false, left = false, centre = false, space = false, alt = false, zero = false;
  bool pointer = false, getter = false, quote = false, wideText = false, longSize = false;
  int width = 0;
  int precision = -1;
  int size = 4;
};

class Formatter {
 public:
  Formatter(strFormatRecord* record, void* sink, strFormatOut out, unsigned options, va_list args)
      : record_(record), sink_(sink), out_(out), options_(options) {
    va_copy(ap_, args);
  }
  ~Formatter() { va_end(ap_); }
  Formatter(const Formatter&) = delete;
  Formatter& operator=(const Formatter&) = delete;

  int run(const char* format) {
    record_->count = 0;
    const char* p = format;
    while (*p) {
      record_->format = p;
      if (*p != '%') {
        if (*p == '\n' && (options_ & STR_FORMAT_CRLF) && !(p > format && p[-1] == '\r')) put('\r');
        put(*p++);
        continue;
      }
      ++p;
      if (!directive(p)) break;
    }
    record_->format = p;
    return record_->count;
  }

  int status() const { return status_; }

 private:
  void put(char c) {
    out_(sink_, c);
    ++record_->count;
    record_->column = (c == '\n') ? 0 : record_->column + 1;
  }

  void repeat(char c, long n) {
    for (long i = 0; i < n; ++i) put(c);
  }

  // Sets the status (the first failure stays); returns false.
  bool fail(int code) {
    if (status_ == 0) status_ = code;
    return false;
  }

  // Parses and writes one directive; p stands after the "%". Returns false
  // when formatting stops.
  bool directive(const char*& p) {
    Parsed s;
    for (bool more = true; more;) {
      switch (*p) {
        case '+': s.plus = true; break;
        case '-': s.left = true; break;
        case '=': s.centre = true; break;
        case ' ': s.space = true; break;
        case '#': s.alt = true; break;
        case '0': s.zero = true; break;
        case '&': s.pointer = true; break;
        case '^': s.getter = true; break;
        case '"':
        case '\'': s.quote = true; break;
        default: more = false; continue;
      }
      ++p;
    }
    if (*p == '*') {
      ++p;
      int w = va_arg(ap_, int);
      if (w < 0) {
        s.left = true;
        w = w == INT32_MIN ? INT32_MAX : -w;
      }
      s.width = w;
    } else {
      while (*p >= '0' && *p <= '9') s.width = std::min(s.width * 10 + (*p++ - '0'), 1 << 24);
    }
    if (*p == '.') {
      ++p;
      if (*p == '*') {
        ++p;
        int v = va_arg(ap_, int);
        s.precision = v < 0 ? -1 : v;
      } else {
        s.precision = 0;
        while (*p >= '0' && *p <= '9') s.precision = std::min(s.precision * 10 + (*p++ - '0'), 1 << 24);
      }
      if (s.precision > s.width) s.width = s.precision;
    }
    int ch = 0;
    bool fromArgs = false;
    for (bool more = true; more && !fromArgs;) {
      switch (*p) {
        case 'l': s.size = 4; s.longSize = true; ++p; break;
        case 'r': s.size = 4; ++p; break;
        case 'L': s.size = 8; ++p; break;
        case 'I':
          ++p;
          if (p[0] == '6' && p[1] == '4') {
            s.size = 8;
            p += 2;
          } else {
            more = false;
          }
          break;
        case 'N':
        case 'F':
        case '&': s.pointer = true; ++p; break;
        case '^': s.getter = true; ++p; break;
        case 'w': s.wideText = true; ++p; break;
        case '*':
          ++p;
          ch = va_arg(ap_, int);
          fromArgs = true;
          break;
        default: more = false; break;
      }
    }
    if (!fromArgs) {
      if (*p == '\0') {
        fail(ERR_FORMAT);
        return false;
      }
      ch = static_cast<unsigned char>(*p++);
    }
    switch (ch) {
      case 'e': case 'f': case 'g': case 'E': case 'G': case 'R':
        fail(ERR_FORMAT);
        return false;
      default: break;
    }
    // After a failure directives write nothing (and fetch nothing).
    if (status_ != 0) return true;
    convert(ch, s);
    return true;
  }

  // The value of a directive's argument: from a getter ("^"), through a
  // pointer ("&", "N", "F") or as the argument itself (promoted as va_arg
  // needs). False after a null getter or pointer, which sets -69.
  template <class T, class Passed = T>
  bool fetch(const Parsed& s, T* value) {
    if (s.getter) {
      strArgGetter getter = va_arg(ap_, strArgGetter);
      if (!getter) return fail(ERR_POINTER_NULL);
      *value = reinterpret_cast<T (*)()>(getter)();
    } else if (s.pointer) {
      const void* source = va_arg(ap_, const void*);
      if (!source) return fail(ERR_POINTER_NULL);
      std::memcpy(value, source, sizeof(T));
    } else {
      *value = static_cast<T>(va_arg(ap_, Passed));
    }
    return true;
  }

  // An integer argument of s.size bytes, sign- or zero-extended.
  bool fetchInteger(const Parsed& s, bool isSigned, uint64_t* value) {
    int64_t v;
    if (s.size == 8) {
      if (!fetch<int64_t, long long>(s, &v)) return false;
    } else {
      int32_t v32;
      if (!fetch<int32_t, int>(s, &v32)) return false;
      v = isSigned ? v32 : static_cast<int64_t>(static_cast<uint32_t>(v32));
    }
    *value = static_cast<uint64_t>(v);
    return true;
  }

  void field(const Parsed& s, const char* prefix, const FieldText& text, bool upper) {
    size_t plen = std::strlen(prefix);
    long pad = static_cast<long>(s.width) - static_cast<long>(plen) - static_cast<long>(text.length);
    if (pad < 0) pad = 0;
    auto body = [&] {
      if (s.quote) put('"');
      for (size_t i = 0; i < text.length; ++i) {
        char c = text.at(i);
        put(upper ? upperOf(c) : c);
      }
      if (s.quote) put('"');
    };
    auto pre = [&] {
      for (size_t i = 0; i < plen; ++i) put(prefix[i]);
    };
    if (s.zero) {
      pre();
      repeat('0', pad);
      body();
    } else if (s.left) {
      pre();
      body();
      repeat(' ', pad);
    } else if (s.centre) {
      repeat(' ', pad / 2);
      pre();
      body();
      repeat(' ', pad - pad / 2);
    } else {
      repeat(' ', pad);
      pre();
      body();
    }
  }

  void number(const Parsed& s, const char* prefix, uint64_t magnitude, unsigned base, bool upper) {
    char work[72];
    char* end = work + sizeof work;
    char* d = end;
    do {
      *--d = kDigits[magnitude % base];
      magnitude /= base;
    } while (magnitude);
    FieldText t;
    t.narrow = d;
    t.length = static_cast<size_t>(end - d);
    field(s, prefix, t, upper);
  }

  void convert(int ch, Parsed s) {
    switch (ch) {
      case '%': {
        FieldText t;
        t.narrow = "%";
        t.length = 1;
        field(s, "", t, false);
        return;
      }
      case 'c':
      case 'C': character(s, ch == 'C'); return;
      case 'd':
      case 'i': {
        uint64_t v;
        if (!fetchInteger(s, true, &v)) return;
        int64_t sv = static_cast<int64_t>(v);
        const char* prefix = sv < 0 ? "-" : s.plus ? "+" : s.space ? " " : "";
        number(s, prefix, sv < 0 ? 0 - v : v, 10, s.alt);
        return;
      }
      case 'u':
      case 'b':
      case 'o':
      case 'x':
      case 'X':
      case 'z':
      case 'Z': {
        uint64_t v;
        if (!fetchInteger(s, false, &v)) return;
        unsigned base = ch == 'u' ? 10 : ch == 'b' ? 2 : ch == 'o' ? 8 : (ch == 'x' || ch == 'X') ? 16 : 36;
        const char* prefix = "";
        if (s.alt && ch == 'o') prefix = "0";
        if (s.alt && v != 0 && (ch == 'x' || ch == 'X')) prefix = "0x";
        if (s.alt && v != 0 && (ch == 'z' || ch == 'Z')) prefix = "0z";
        number(s, prefix, v, base, s.alt || ch == 'X' || ch == 'Z');
        return;
      }
      case 'p':
      case 'P': pointerValue(s, ch == 'P'); return;
      case 'n': {
        int* target = va_arg(ap_, int*);
        if (target) *target = record_->count;
        return;
      }
      case 's':
      case 'S': string(s, ch == 'S'); return;
      default: field(s, "", FieldText{}, false); return;
    }
  }

  void character(const Parsed& s, bool upper) {
    int c;
    if (!fetch(s, &c)) return;
    char work[kWorkSize];
    FieldText t;
    t.narrow = work;
    if (static_cast<char>(c) == 0x1A) {
      std::memcpy(work, "<eof>", 5);
      t.length = 5;
    } else {
      t.length = s.precision < 0 ? 1 : std::min<size_t>(static_cast<size_t>(s.precision), kWorkSize - 1);
      std::memset(work, static_cast<char>(c), t.length);
    }
    field(s, "", t, upper);
  }

  void pointerValue(Parsed s, bool upper) {
    const void* p;
    if (!fetch(s, &p)) return;
    uintptr_t v = reinterpret_cast<uintptr_t>(p);
    s.zero = true;
    char work[24];
    FieldText t;
    t.narrow = work;
    const char* digits = upper ? "0123456789ABCDEF" : kDigits;
    uint64_t x = v;
    if (s.longSize) {
      // segment:offset form: bits 32 to 47, then the low 32 bits
      for (int i = 0; i < 4; ++i) work[i] = digits[(x >> (44 - 4 * i)) & 15];
      work[4] = ':';
      for (int i = 0; i < 8; ++i) work[5 + i] = digits[(x >> (28 - 4 * i)) & 15];
      t.length = 13;
      field(s, "", t, false);
      return;
    }
    number(s, "", x, 16, upper);
  }

  void string(const Parsed& s, bool upper) {
    FieldText t;
    const void* start;
    if (s.wideText) {
      const uint16_t* w;
      if (!fetch(s, &w)) return;
      start = w;
    } else {
      const char* n;
      if (!fetch(s, &n)) return;
      start = n;
    }
    const void* end = s.alt ? va_arg(ap_, const void*) : nullptr;
    size_t limit = s.precision < 0 ? SIZE_MAX : static_cast<size_t>(s.precision);
    if (!start) {
      t.narrow = "NULL";
      t.length = std::min<size_t>(4, limit);
    } else if (s.wideText) {
      t.wide = static_cast<const uint16_t*>(start);
      if (s.alt) {
        t.length = end > start ? static_cast<size_t>(static_cast<const uint16_t*>(end) - t.wide) : 0;
        t.length = std::min(t.length, limit);
      } else {
        while (t.length < limit && t.wide[t.length]) ++t.length;
      }
    } else {
      t.narrow = static_cast<const char*>(start);
      if (s.alt) {
        t.length = end > start ? static_cast<size_t>(static_cast<const char*>(end) - t.narrow) : 0;
        t.length = std::min(t.length, limit);
      } else {
        t.length = limit == SIZE_MAX ? std::strlen(t.narrow) : strnlen(t.narrow, limit);
      }
    }
    if (!s.space || !start) {
      field(s, "", t, upper);
      return;
    }
    // Trimmed form: one space, the text without characters up to 0x20 at
    // either end, one space; clipped to the work buffer.
    size_t b = 0, e = t.length;
    while (b < e && static_cast<unsigned char>(t.at(b)) <= 0x20) ++b;
    while (e > b && static_cast<unsigned char>(t.at(e - 1)) <= 0x20) --e;
    char work[kWorkSize];
    size_t n = std::min(e - b, kWorkSize - 3);
    work[0] = ' ';
    for (size_t i = 0; i < n; ++i) work[1 + i] = t.at(b + i);
    work[n + 1] = ' ';
    FieldText trimmed;
    trimmed.narrow = work;
    trimmed.length = n + 2;
    field(s, "", trimmed, upper);
  }

  strFormatRecord* record_;
  void* sink_;
  strFormatOut out_;
  unsigned options_;
  va_list ap_;
  int status_ = 0;
};

struct BufferSink {
  char* dest;
  size_t size;
  size_t pos;
};

void bufferOut(void* sink, char ch) {
  auto* b = static_cast<BufferSink*>(sink);
  if (b->pos + 1 < b->size) {
    b->dest[b->pos++] = ch;
    b->dest[b->pos] = '\0';
  }
}

}  // namespace

int strFormatEngine(strFormatRecord* record, void* sink, strFormatOut out, const char* format, unsigned options,
                    va_list args) {
  errState* state = errGetState();
  errCode saved = state->code;
  state->code = 0;
  Formatter f(record, sink, out, options, args);
  int count = f.run(format ? format : "");
  state->code = saved != 0 ? saved : f.status();
  return count;
}

char* strFormatVN(char* dest, size_t size, const char* format, va_list args) {
  if (!dest) {
    dest = g_buffer;
    size = std::min(size, sizeof g_buffer);
  }
  if (size == 0) return dest;
  dest[0] = '\0';
  BufferSink sink{dest, size, 0};
  strFormatEngine(&g_default, &sink, bufferOut, format, STR_FORMAT_CRLF, args);
  return dest + sink.pos;
}

char* strFormatV(char* dest, const char* format, va_list args) {
  return strFormatVN(dest, dest ? SIZE_MAX : sizeof g_buffer, format, args);
}

char* strFormat(char* dest, const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  char* end = strFormatV(dest, format, ap);
  va_end(ap);
  return end;
}

char* strFormatN(char* dest, size_t size, const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  char* end = strFormatVN(dest, size, format, ap);
  va_end(ap);
  return end;
}

char* strFormatBuffer() { return g_buffer; }

unsigned strFormatSetFlags(unsigned options) {
  unsigned old = g_default.options;
  g_default.options = options;
  return old;
}

unsigned strFormatFlags() { return g_default.options; }
