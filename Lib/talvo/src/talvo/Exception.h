// Exceptions of the talvo library and the error descriptions their texts are
// built from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <iosfwd>
#include <string>
#include <typeinfo>

namespace talvo {

// The run-time type name shown for exceptions: the demangled name, with
// "class " in front for class types ("class talvo::io::Failure").
std::string type_name(const std::type_info& type);

// An error description that writes itself into a caller's buffer. The name
// (a file or object name) and the cause (the description this one wraps) are
// borrowed; both may be null.
class ErrorInfo {
 public:
  explicit ErrorInfo(const char* name = nullptr, const ErrorInfo* cause = nullptr)
      : name(name), cause(cause) {}
  virtual ~ErrorInfo() = default;

  // Writes the description, NUL-terminated, into buffer (size bytes) and
  // returns the number of characters written. A null buffer or a size of 0
  // writes nothing and gives 0. This base part writes the cause's description
  // and then the name as " ('name')"; every kind writes its own text first
  // and calls it after that text.
  virtual size_t describe(char* buffer, size_t size) const;

  const char* name;
  const ErrorInfo* cause;
};

// A description made of a fixed text (borrowed, may be null).
class TextualErrorInfo : public ErrorInfo {
 public:
  explicit TextualErrorInfo(const char* text, const char* name = nullptr,
                            const ErrorInfo* cause = nullptr)
      : ErrorInfo(name, cause), text(text) {}
  size_t describe(char* buffer, size_t size) const override;

  const char* text;
};

// A Win32 error code and its system text. Code 0 stands for the calling
// thread's last error at the time the code is stored.
class SystemErrorInfo : public ErrorInfo {
 public:
  explicit SystemErrorInfo(uint32_t code = 0);
  void set(uint32_t code = 0);
  size_t describe(char* buffer, size_t size) const override;

  uint32_t code;
};

// Writes the description (at most 4095 characters) to the stream.
std::ostream& operator<<(std::ostream& out, const ErrorInfo& info);

// Formats into buffer (size bytes) and returns the number of characters that
// landed there: never more than size - 1, so a truncated text stays
// terminated and a position advanced by the result stays inside the buffer.
size_t format_bounded(char* buffer, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

class Exception : public std::exception {
 public:
  static constexpr size_t text_size = 2048;

  // A null or empty message leaves the text empty; a longer one keeps its
  // first text_size - 1 characters.
  explicit Exception(const char* message);
  explicit Exception(const ErrorInfo& info);
  Exception(const Exception& other);
  Exception& operator=(const Exception& other);
  ~Exception() override;

  // The message, or the run-time type name when there is none (kept from
  // then on).
  const char* what() const noexcept override;

 protected:
  // Fills an empty text: the type name, cut to the buffer's text_size bytes.
  virtual void default_text(char* buffer) const;

 private:
  mutable char text_[text_size];
};

// Throws a talvo::Exception with the message at once; nothing is logged.
[[noreturn]] void raise_error(const char* message);
// raise_error("NOT IMPLEMENTED"): the body of every operation a class does
// not support.
[[noreturn]] void not_implemented();

namespace io {

// The exception of the stream layer; its default message is "i/o error".
class Failure : public Exception {
 public:
  explicit Failure(const char* message = nullptr);
  explicit Failure(const ErrorInfo& info) : Exception(info) {}
};

}  // namespace io
}  // namespace talvo
