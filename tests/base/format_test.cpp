#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

#include "base/err.h"
#include "base/format.h"

namespace {

int fortyTwo() { return 42; }
const char* fileName() { return "a.bmp"; }
int64_t big() { return -5000000000LL; }

struct Case {
  const char* expected;
  errCode status;
  std::function<void(char*, size_t)> run;
};

#define CASE(expected, status, ...) \
  Case { expected, status, [](char* b, size_t n) { strFormatN(b, n, __VA_ARGS__); } }

TEST(Formatter, Conversions) {
  static int value = 42;
  static int star = '*';
  static int64_t value64 = -7;
  static const char* text = "txt";
  static const uint16_t wide[] = {'w', 'i', 0x141, 0};
  static const char sub[] = "abcdef";
  const Case cases[] = {
      CASE("  -42", 0, "%5d", -42),
      CASE("-0042", 0, "%05d", -42),
      CASE("-42  |", 0, "%-5d|", -42),
      CASE("+5| 5|5", 0, "%+d|% d|%d", 5, 5, 5),
      CASE("   42", 0, "%.5d", 42),  // the width becomes at least the precision
      CASE("   42|42   |", 0, "%*d|%*d|", 5, 42, -5, 42),
      CASE("4294967295 101 10 00", 0, "%u %b %o %#o", -1, 5, 8, 0),
      CASE("ff FF 0xFF 0", 0, "%x %X %#x %#x", 255, 255, 255, 0),
      CASE("z Z 0z10 0", 0, "%z %Z %#z %#z", 35, 35, 36, 0),
      CASE("-5000000000 7", 0, "%Ld %d", -5000000000LL, 7),
      CASE("18446744073709551615|-1", 0, "%I64u|%Id", ~0ULL, -1),
      CASE("00001234 ABC 1234:56789abc", 0, "%8p %P %lp", reinterpret_cast<void*>(0x1234),
           reinterpret_cast<void*>(0xabc), reinterpret_cast<void*>(0x123456789abcULL)),
      CASE("  abc  |ab   |   ab", 0, "%=7s|%-5s|%5s", "abc", "ab", "ab"),
      CASE("abc|NULL|ABC", 0, "%.3s|%s|%S", "abcdef", static_cast<const char*>(nullptr), "abc"),
      CASE("ab|bcd", 0, "%.*s|%#s", 2, "abcd", sub + 1, sub + 4),
      CASE("    \"ab\"", 0, "%'6s", "ab"),  // quotes do not count against the width
      CASE("[ a b ]", 0, "[% s]", " \t a b \r\n "),
      CASE("wiA", 0, "%ws", wide),
      CASE("x<eof>|yyy|Q", 0, "x%c|%.3c|%C", 0x1A, 'y', 'q'),
      CASE("42 txt -7 42 *", 0, "%&d %&s %&Ld %Nd %&c", &value, &text, &value64, &value, &star),
      CASE("42 a.bmp -5000000000", 0, "%^d %^s %^Ld", strGetter(&fortyTwo), strGetter(&fileName), strGetter(&big)),
      CASE("  7", 0, "%3*", 'd', 7),  // the directive character from the arguments
      CASE("100%|   |", 0, "100%%|%3y|"),
      CASE("a\r\nb\r\nc|x\ny", 0, "a\nb\r\nc|%s", "x\ny"),
      CASE("ab", ERR_FORMAT, "ab%fcd"),
      CASE("100", ERR_FORMAT, "100%"),
      CASE("a||b||c", ERR_POINTER_NULL, "a|%&d%^s%s|b|%d|c", static_cast<int*>(nullptr), "never", "never", 1),
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    char buf[80];
    std::memset(buf, '#', sizeof buf);
    errGetState()->code = 0;
    c.run(buf, 64);
    EXPECT_STREQ(buf, c.expected);
    EXPECT_EQ(buf[64], '#');
    EXPECT_EQ(errGetState()->code, c.status);
  }
  errGetState()->code = 0;
}

TEST(Formatter, BoundedOutputAndStaticBuffer) {
  char buf[16];
  std::memset(buf, '#', sizeof buf);
  char* end = strFormatN(buf, 6, "%s-%d", "abcdefgh", 12);
  EXPECT_STREQ(buf, "abcde");
  EXPECT_EQ(end, buf + 5);
  EXPECT_EQ(buf[6], '#');
  EXPECT_EQ(strFormatN(buf, 0, "xyz"), buf);
  EXPECT_EQ(buf[0], 'a');

  // An unbounded destination and the returned end.
  end = strFormat(buf, "%d:%s", 7, "ok");
  EXPECT_STREQ(buf, "7:ok");
  EXPECT_EQ(end, buf + 4);

  // A null destination is the static buffer, never written past its end.
  std::string long1(700, 'x');
  end = strFormat(nullptr, "%s%s", long1.c_str(), long1.c_str());
  EXPECT_EQ(end, strFormatBuffer() + STR_FORMAT_BUFFER_SIZE - 1);
  EXPECT_EQ(std::strlen(strFormatBuffer()), STR_FORMAT_BUFFER_SIZE - 1u);

  // The trimmed string form is clipped to its work buffer.
  std::string spaced = " " + std::string(600, 'y') + " ";
  char big[1024];
  strFormat(big, "% s", spaced.c_str());
  EXPECT_EQ(std::strlen(big), 511u);
  EXPECT_EQ(big[0], ' ');
  EXPECT_EQ(big[510], ' ');
}

TEST(Formatter, CountColumnAndStatusKeeping) {
  char buf[32];
  int at = -1;
  strFormat(buf, "ab%ncd", &at);
  EXPECT_EQ(at, 2);
  strFormat(buf, "%n", static_cast<int*>(nullptr));  // nothing written

  // A non-zero code in the error state is kept; a zero one takes the status.
  errGetState()->code = -5;
  strFormat(buf, "x%");
  EXPECT_EQ(errGetState()->code, -5);
  errGetState()->code = 0;
  strFormat(buf, "x%");
  EXPECT_EQ(errGetState()->code, ERR_FORMAT);
  errGetState()->code = 0;

  // The engine with an output function of its own.
  std::string out;
  strFormatRecord record{};
  auto sink = [](void* s, char ch) { static_cast<std::string*>(s)->push_back(ch); };
  auto run = [&](const char* format, unsigned options, ...) {
    va_list ap;
    va_start(ap, options);
    int n = strFormatEngine(&record, &out, sink, format, options, ap);
    va_end(ap);
    return n;
  };
  EXPECT_EQ(run("%s\nab", 0, "12"), 5);
  EXPECT_EQ(out, "12\nab");
  EXPECT_EQ(record.count, 5);
  EXPECT_EQ(record.column, 2);
  EXPECT_EQ(strFormatSetFlags(0), 0u);
  EXPECT_EQ(strFormatFlags(), 0u);
}

}  // namespace
