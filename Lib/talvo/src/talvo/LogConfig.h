// The log settings file "<program>.log.ini" beside the program: sections
// select channels by name, statements set per level the highest verbosity
// that passes. Read once, at the first request for a log entry.
//
//   [talvo.io]        ; the "talvo.io" channels
//   info -*           ; info entries off
//   [exception] -5    ; every level up to verbosity 4
//   [!]               ; the global switch, which caps every channel
//   warning =-*       ; no warnings at all
//   [*] =2            ; the defaults, copied to every named channel
//
// A statement is an optional level word (only its first letter counts: e, w
// or i) and a number: "=n" or "+n" raise the threshold to at least n, "-n"
// lower it to at most n - 1, "=0" makes it exactly 0, "-*" switches the
// level off and "*" lets everything pass. Without a level word the number
// applies to all three levels.
#pragma once

#include <cstdint>
#include <istream>
#include <string>

#include "talvo/Log.h"

namespace talvo {

// The number that switches a level off ("-*").
constexpr int32_t log_off_marker = -2147483647;

struct LogConfigToken {
  enum Type {
    stray,          // any character the grammar does not know, taken alone
    error_level,    // a word starting with "e"
    warning_level,  // a word starting with "w"
    info_level,     // a word starting with "i"
    name,           // "[" name "]": the channel name
    comment,        // ";" or "//" to the end of the line
    number,         // "=", "+", "-" or "*" and what follows: the number text
    line_comment,   // "#": the rest of the line
    end,            // end of the file
    malformed,      // "+=" or "-=", which the reader does not understand
  };
  Type type = end;
  std::string text;
};

// The next token of the stream.
LogConfigToken next_log_config_token(std::istream& in);
// "+*" is INT32_MAX, "-*" the off marker; other texts are decimal numbers
// (clamped to 32 bits; "*" alone is 0).
int32_t parse_log_number(const std::string& text);
// Applies the statements of the stream to the log settings. A malformed
// statement stops the reading there (false); what came before it stays.
bool parse_log_config(std::istream& in);

}  // namespace talvo
