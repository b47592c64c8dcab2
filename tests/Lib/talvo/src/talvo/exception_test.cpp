// Exceptions and error descriptions.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "talvo/Exception.h"

namespace {

using talvo::ErrorInfo;
using talvo::Exception;
using talvo::SystemErrorInfo;
using talvo::TextualErrorInfo;

std::string describeAll(const ErrorInfo& info) {
  char buffer[4096];
  size_t n = info.describe(buffer, sizeof buffer);
  EXPECT_EQ(n, std::strlen(buffer));
  return buffer;
}

TEST(Exception, MessageTexts) {
  const std::string long3000(3000, 'm');
  struct Case {
    const char* message;
    std::string what;
  } cases[] = {
      {nullptr, "class talvo::Exception"},
      {"", "class talvo::Exception"},
      {"bad header", "bad header"},
      {long3000.c_str(), std::string(2047, 'm')},
  };
  for (const Case& c : cases) {
    Exception e(c.message);
    EXPECT_EQ(e.what(), c.what) << (c.message ? c.message : "(null)");
    // The type name is kept once it was asked for.
    EXPECT_EQ(e.what(), c.what);
  }
}

TEST(Exception, FailureDefaultsToIoError) {
  struct Case {
    const char* message;
    const char* what;
  } cases[] = {{nullptr, "i/o error"}, {"", "i/o error"}, {"short read", "short read"}};
  for (const Case& c : cases) EXPECT_STREQ(talvo::io::Failure(c.message).what(), c.what);

  // A description that writes nothing leaves only the type name.
  TextualErrorInfo nothing(nullptr);
  EXPECT_STREQ(talvo::io::Failure(nothing).what(), "class talvo::io::Failure");
}

TEST(Exception, RaiseAndNotImplemented) {
  try {
    talvo::raise_error(nullptr);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "class talvo::Exception");
  }
  try {
    talvo::not_implemented();
    FAIL();
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "NOT IMPLEMENTED");
  }
}

TEST(Exception, CopiesKeepTheTextAfterTheDescriptionDies) {
  Exception* copy = nullptr;
  {
    std::string name = "pics/a.bmp";
    TextualErrorInfo inner("truncated");
    TextualErrorInfo outer("can't read: ", name.c_str(), &inner);
    Exception original(outer);
    copy = new Exception(original);
  }
  EXPECT_STREQ(copy->what(), "can't read: truncated ('pics/a.bmp')");
  Exception assigned("x");
  assigned = *copy;
  delete copy;
  EXPECT_STREQ(assigned.what(), "can't read: truncated ('pics/a.bmp')");
}

TEST(Exception, TypeNames) {
  EXPECT_EQ(talvo::type_name(typeid(talvo::io::Failure)), "class talvo::io::Failure");
  EXPECT_EQ(talvo::type_name(typeid(int)), "int");
  EXPECT_EQ(talvo::type_name(typeid(char*)), "char*");
}

TEST(ErrorInfo, DescriptionTexts) {
  TextualErrorInfo leaf("unexpected end");
  TextualErrorInfo named("bad pixel data", "DATA/bkg.jpg");
  TextualErrorInfo emptyName("no name", "");
  TextualErrorInfo wrapping("decoder: ", "b.tga", &leaf);
  TextualErrorInfo twice("open: ", "x.zip", &wrapping);
  ErrorInfo bare("only.name", &leaf);
  TextualErrorInfo nullText(nullptr, "n");
  struct Case {
    const ErrorInfo* info;
    const char* text;
  } cases[] = {
      {&leaf, "unexpected end"},
      {&named, "bad pixel data ('DATA/bkg.jpg')"},
      {&emptyName, "no name"},
      {&wrapping, "decoder: unexpected end ('b.tga')"},
      {&twice, "open: decoder: unexpected end ('b.tga') ('x.zip')"},
      {&bare, "unexpected end ('only.name')"},
      {&nullText, " ('n')"},
  };
  for (const Case& c : cases) EXPECT_EQ(describeAll(*c.info), c.text);
}

TEST(ErrorInfo, SystemTexts) {
  SystemErrorInfo notFound(ERROR_FILE_NOT_FOUND);
  SystemErrorInfo named(ERROR_ACCESS_DENIED);
  named.name = "game.log";
  SystemErrorInfo unknown(99999);
  TextualErrorInfo outer("writing failed: ", nullptr, &notFound);
  struct Case {
    const ErrorInfo* info;
    std::string text;
  } cases[] = {
      {&notFound, std::strerror(ENOENT)},
      {&named, std::string(std::strerror(EACCES)) + " ('game.log')"},
      {&unknown, "system error 99999"},
      {&outer, std::string("writing failed: ") + std::strerror(ENOENT)},
  };
  for (const Case& c : cases) EXPECT_EQ(describeAll(*c.info), c.text);

  // Code 0 stands for the thread's last error.
  SetLastError(ERROR_INVALID_PARAMETER);
  SystemErrorInfo last;
  EXPECT_EQ(last.code, static_cast<uint32_t>(ERROR_INVALID_PARAMETER));
  SetLastError(ERROR_ACCESS_DENIED);
  last.set(0);
  EXPECT_EQ(last.code, static_cast<uint32_t>(ERROR_ACCESS_DENIED));
  last.set(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(last.code, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
}

// Every size from 1 up gives the first size - 1 characters of the whole
// description, terminated, and never touches a byte past the buffer.
TEST(ErrorInfo, TruncationAtEverySize) {
  TextualErrorInfo leaf("end", "inner");
  TextualErrorInfo nested("read: ", "outer.bin", &leaf);
  SystemErrorInfo system(ERROR_FILE_NOT_FOUND);
  system.name = "a.txt";
  TextualErrorInfo exactFit("12345678");
  std::vector<const ErrorInfo*> infos = {&leaf, &nested, &system, &exactFit};
  for (const ErrorInfo* info : infos) {
    const std::string whole = describeAll(*info);
    for (size_t size = 1; size <= whole.size() + 2; ++size) {
      std::vector<char> buffer(size + 8, '#');
      size_t n = info->describe(buffer.data(), size);
      size_t expect = std::min(whole.size(), size - 1);
      ASSERT_EQ(n, expect) << whole << " at size " << size;
      EXPECT_EQ(std::string(buffer.data()), whole.substr(0, expect)) << "size " << size;
      for (size_t i = size; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], '#') << "size " << size;
    }
    char untouched = '#';
    EXPECT_EQ(info->describe(&untouched, 0), 0u);
    EXPECT_EQ(untouched, '#');
    EXPECT_EQ(info->describe(nullptr, 100), 0u);
  }
}

TEST(ErrorInfo, WritesToStreams) {
  TextualErrorInfo info("flush failed: ", "x.log");
  std::ostringstream out;
  out << "[" << info << "]";
  EXPECT_EQ(out.str(), "[flush failed:  ('x.log')]");

  std::string huge(5000, 'h');
  TextualErrorInfo big(huge.c_str());
  std::ostringstream capped;
  capped << big;
  EXPECT_EQ(capped.str(), std::string(4095, 'h'));
}

TEST(ErrorInfo, FormatBoundedStaysInside) {
  char buffer[6];
  EXPECT_EQ(talvo::format_bounded(buffer, sizeof buffer, "%d", 123), 3u);
  EXPECT_STREQ(buffer, "123");
  EXPECT_EQ(talvo::format_bounded(buffer, sizeof buffer, "%s", "abcdefgh"), 5u);
  EXPECT_STREQ(buffer, "abcde");
  EXPECT_EQ(talvo::format_bounded(buffer, 0, "%s", "x"), 0u);
}

}  // namespace
