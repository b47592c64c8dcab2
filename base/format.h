// The base library's printf-style formatter.
//
// Directives: "%" [flags] [width] [.precision] [size letters] character.
//   flags    + - = (centre) space # 0 & (pointer to the value) ^ (getter) " or '
//   width    digits or * ; precision . digits or .*
//   sizes    l r (4 bytes)  L I64 (8 bytes)  N F & (pointer)  ^ (getter)
//            * (directive character from the arguments)  w (16-bit string)
//   chars    % c C d i u b o x X p P z Z n s S ; e f g E G R refused (-72)
//
// Arguments are fetched with va_arg: 4-byte integers and characters as int,
// 8-byte integers (L, I64) as a 64-bit integer, "p" as a pointer, strings as
// const char* (const uint16_t* with "w"). With "&" the argument is a pointer
// to such a value; with "^" it is a strArgGetter (see strGetter) of a
// function without arguments that returns such a value.
//
// Failures are not raised: the error state's code serves as the status while
// formatting. On entry a non-zero code is saved; on return it is restored, or
// else the status stays there: 0, -72 (a lone "%" at the end, or a floating
// point directive: output stops there) or -69 (a null pointer where "&", "N",
// "F" or "^" needs one: that directive and every later one write nothing,
// literal text still is). The status -73 of a missing argument list cannot
// arise here: a va_list cannot tell that it ran out, so callers pass every
// argument their format names.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

// A getter as passed for a "^" directive.
using strArgGetter = void (*)();
template <class R>
strArgGetter strGetter(R (*fn)()) {
  return reinterpret_cast<strArgGetter>(fn);
}

#define STR_FORMAT_BUFFER_SIZE 512
// Option: a line feed of the format's own text is written as CR LF (unless a
// CR stands before it in the format).
#define STR_FORMAT_CRLF 2

struct strFormatRecord {
  const char* format;  // where formatting stands
  int count;           // characters written by the last call
  int column;          // current column, 0 after a line feed
  unsigned options;
};

// Receives the output one character at a time.
using strFormatOut = void (*)(void* sink, char ch);

// The formatter; returns the number of characters written (also kept in the
// record).
int strFormatEngine(strFormatRecord* record, void* sink, strFormatOut out, const char* format, unsigned options,
                    va_list args);

// Format into dest with option STR_FORMAT_CRLF and return a pointer to the
// terminating zero. A null dest formats into the static buffer, at most
// STR_FORMAT_BUFFER_SIZE - 1 characters. A non-null dest must be large enough:
// callers that know its size use strFormatN.
char* strFormat(char* dest, const char* format, ...);
char* strFormatV(char* dest, const char* format, va_list args);
// Bounded: at most size - 1 characters and the terminating zero (nothing at
// all when size is 0; the result is then dest). A null dest means the static
// buffer, bounded by the smaller of size and its own size.
char* strFormatN(char* dest, size_t size, const char* format, ...);
char* strFormatVN(char* dest, size_t size, const char* format, va_list args);

// The static STR_FORMAT_BUFFER_SIZE-byte buffer.
char* strFormatBuffer();
unsigned strFormatSetFlags(unsigned options);
unsigned strFormatFlags();
