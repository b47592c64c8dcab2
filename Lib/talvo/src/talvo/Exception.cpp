#include "talvo/Exception.h"

#include <cxxabi.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>

#include "platform/win32.h"

namespace talvo {

namespace {

// Copies at most size - 1 characters of the text (a null text is empty) and
// terminates it; returns the number copied. size is at least 1.
size_t copy_text(char* buffer, size_t size, const char* text) {
  size_t n = text ? std::strlen(text) : 0;
  if (n > size - 1) n = size - 1;
  if (n > 0) std::memcpy(buffer, text, n);
  buffer[n] = '\0';
  return n;
}

}  // namespace

std::string type_name(const std::type_info& type) {
  int status = 0;
  char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  std::string name = (status == 0 && demangled) ? demangled : type.name();
  std::free(demangled);
  // Class types carry the class type information of the C++ ABI.
  if (dynamic_cast<const abi::__class_type_info*>(&type)) name.insert(0, "class ");
  return name;
}

size_t format_bounded(char* buffer, size_t size, const char* format, ...) {
  if (!buffer || size == 0) return 0;
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, size, format, args);
  va_end(args);
  if (n < 0) {
    buffer[0] = '\0';
    return 0;
  }
  return static_cast<size_t>(n) < size ? static_cast<size_t>(n) : size - 1;
}

size_t ErrorInfo::describe(char* buffer, size_t size) const {
  if (!buffer || size == 0) return 0;
  buffer[0] = '\0';
  size_t pos = cause ? cause->describe(buffer, size) : 0;
  if (pos >= size) pos = size - 1;  // a cause never owns the terminator's byte
  if (name && *name) pos += format_bounded(buffer + pos, size - pos, " ('%s')", name);
  return pos;
}

size_t TextualErrorInfo::describe(char* buffer, size_t size) const {
  if (!buffer || size == 0) return 0;
  const size_t n = copy_text(buffer, size, text);
  return n + ErrorInfo::describe(buffer + n, size - n);
}

SystemErrorInfo::SystemErrorInfo(uint32_t code) : code(0) { set(code); }

void SystemErrorInfo::set(uint32_t c) { code = c != 0 ? c : GetLastError(); }

size_t SystemErrorInfo::describe(char* buffer, size_t size) const {
  if (!buffer || size == 0) return 0;
  buffer[0] = '\0';
  const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  DWORD n = FormatMessageA(flags, nullptr, code, 0x400, buffer, static_cast<DWORD>(size), nullptr);
  if (n == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    // The system refuses a buffer that is too small: take the text whole and
    // keep what fits.
    char* whole = nullptr;
    if (FormatMessageA(flags | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code, 0x400,
                       reinterpret_cast<LPSTR>(&whole), 0, nullptr) != 0) {
      n = static_cast<DWORD>(copy_text(buffer, size, whole));
    }
    LocalFree(whole);
  }
  buffer[size - 1] = '\0';
  size_t len;
  if (n == 0) {
    len = format_bounded(buffer, size, "system error %u", static_cast<unsigned>(code));
  } else {
    len = std::strlen(buffer);
    while (len > 1 && (buffer[len - 1] == '\n' || buffer[len - 1] == '\r')) buffer[--len] = '\0';
  }
  return len + ErrorInfo::describe(buffer + len, size - len);
}

std::ostream& operator<<(std::ostream& out, const ErrorInfo& info) {
  char text[4096];
  info.describe(text, sizeof text);
  return out << text;
}

Exception::Exception(const char* message) { copy_text(text_, text_size, message); }

Exception::Exception(const ErrorInfo& info) {
  text_[0] = '\0';
  info.describe(text_, text_size);
}

Exception::Exception(const Exception& other) : std::exception(other) {
  std::memcpy(text_, other.text_, text_size);
}

Exception& Exception::operator=(const Exception& other) {
  std::exception::operator=(other);
  std::memcpy(text_, other.text_, text_size);
  return *this;
}

Exception::~Exception() = default;

const char* Exception::what() const noexcept {
  if (text_[0] == '\0') {
    try {
      default_text(text_);
    } catch (...) {
      // No memory for the name: the text stays empty.
    }
  }
  return text_;
}

void Exception::default_text(char* buffer) const {
  copy_text(buffer, text_size, type_name(typeid(*this)).c_str());
}

void raise_error(const char* message) { throw Exception(message); }

void not_implemented() { raise_error("NOT IMPLEMENTED"); }

namespace io {

Failure::Failure(const char* message) : Exception(message && *message ? message : "i/o error") {}

}  // namespace io
}  // namespace talvo
