// The log settings file "<program>.log.ini".
#include "talvo/LogConfig.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "talvo/LogFile.h"
#include "talvo/StreamBuf.h"

namespace talvo {
namespace {

using Token = LogConfigToken;
constexpr int eof = std::char_traits<char>::eof();

bool is_space(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool is_letter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(int c) { return c >= '0' && c <= '9'; }

// Characters of the stream as unsigned values, or eof.
class Reader {
 public:
  explicit Reader(std::istream& in) : buffer_(in.rdbuf()) {}
  int peek() { return buffer_ ? buffer_->sgetc() : eof; }
  int get() { return buffer_ ? buffer_->sbumpc() : eof; }
  void skip_space() {
    while (is_space(peek())) get();
  }
  void skip_letters() {
    while (is_letter(peek())) get();
  }
  // The characters up to the end of the line; the line end is taken too.
  std::string rest_of_line() {
    std::string text;
    for (int c; (c = get()) != eof && c != '\n';) text += static_cast<char>(c);
    return text;
  }

 private:
  std::streambuf* buffer_;
};

char unescape(int c) {
  switch (c) {
    case 'a': return '\a';
    case 'b': return '\b';
    case 'f': return '\f';
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    case 'v': return '\v';
    default: return static_cast<char>(c);
  }
}

// After "[": a quoted name ends at its quote or at "]", and the character
// after it (the "]" after a quote) is taken too; an unquoted name ends at
// "]". A backslash escapes the next character, except as the first one of an
// unquoted name.
Token read_name(Reader& in) {
  in.skip_space();
  int c = in.get();
  if (c == eof) return {Token::stray, {}};
  const bool quoted = c == '"' || c == '\'';
  const int quote = quoted ? c : ']';
  std::string name;
  if (!quoted) name += static_cast<char>(c);
  for (;;) {
    c = in.get();
    if (c == eof) return {Token::stray, {}};
    if (c == quote || c == ']') break;
    if (c == '\\') {
      c = in.get();
      if (c == eof) return {Token::stray, {}};
      c = unescape(c);
    }
    name += static_cast<char>(c);
  }
  if (quoted) {
    in.skip_space();
    in.get();
  }
  return {Token::name, name};
}

// The value after the sign (if any): "*", digits, or anything else, which
// is left for the next token and reads as "*" after the sign.
Token read_value(Reader& in, std::string text) {
  const int c = in.peek();
  if (c == eof) return {Token::stray, {}};  // nothing after the sign
  if (c == '*') {
    in.get();
    return {Token::number, text == "-" ? "-*" : "+*"};
  }
  if (!is_digit(c)) return {Token::number, text + "*"};
  while (is_digit(in.peek())) text += static_cast<char>(in.get());
  return {Token::number, text};
}

Token read_signed(Reader& in, char sign) {
  in.skip_space();
  if (in.peek() == '=') {
    in.get();
    return {Token::malformed, std::string(1, sign) + "="};
  }
  return read_value(in, std::string(1, sign));
}

Token read_assignment(Reader& in) {
  in.skip_space();
  std::string text;
  if (in.peek() == '+' || in.peek() == '-') text += static_cast<char>(in.get());
  in.skip_space();
  return read_value(in, text);
}

Token next_token(Reader& in) {
  in.skip_space();
  const int c = in.get();
  if (c == eof) return {Token::end, {}};
  if (c > 'w') return {Token::stray, {}};
  switch (c) {
    case '#':
      // The word after "#" and the blanks after it; the comment never goes
      // past its own line.
      in.skip_letters();
      while (in.peek() == ' ' || in.peek() == '\t') in.get();
      return {Token::line_comment, in.rest_of_line()};
    case ';':
      return {Token::comment, in.rest_of_line()};
    case '/':
      if (in.get() == '/') return {Token::comment, in.rest_of_line()};
      return {Token::stray, {}};
    case '[':
      return read_name(in);
    case '*':
      return {Token::number, "+*"};
    case '+':
    case '-':
      return read_signed(in, static_cast<char>(c));
    case '=':
      return read_assignment(in);
    case 'e':
      in.skip_letters();
      return {Token::error_level, {}};
    case 'w':
      in.skip_letters();
      return {Token::warning_level, {}};
    case 'i':
      in.skip_letters();
      return {Token::info_level, {}};
    default:
      return {Token::stray, {}};
  }
}

unsigned levels_of(Token::Type previous) {
  switch (previous) {
    case Token::error_level: return log_error_level;
    case Token::warning_level: return log_warning_level;
    case Token::info_level: return log_info_level;
    default: return log_all_levels;
  }
}

void apply_number(const std::string& section, unsigned levels, int32_t value) {
  LogSettings& record = *log_settings_for(section);
  if (value > 0) {
    record.raise_threshold(levels, value);
  } else if (value == log_off_marker) {
    record.lower_threshold(levels, 0);
  } else if (value == 0) {
    record.lower_threshold(levels, 0);
    record.raise_threshold(levels, 0);
  } else if (value != INT32_MIN) {
    // (-2^31 asks for at most 2^31 - 1, which every threshold already is.)
    record.lower_threshold(levels, -value);
  }
  if (section == "*") apply_log_settings_to_all(log_defaults, true);
}

}  // namespace

LogConfigToken next_log_config_token(std::istream& in) {
  Reader reader(in);
  return next_token(reader);
}

int32_t parse_log_number(const std::string& text) {
  if (text.size() == 2 && text[1] == '*') {
    if (text[0] == '+') return INT32_MAX;
    if (text[0] == '-') return log_off_marker;
  }
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

bool parse_log_config(std::istream& in) {
  Reader reader(in);
  std::string section;
  Token::Type previous = Token::end;
  for (;;) {
    Token token = next_token(reader);
    switch (token.type) {
      case Token::end:
        return true;
      case Token::malformed:
        return false;
      case Token::name:
        section = token.text;
        log_settings_for(section);
        break;
      case Token::number:
        apply_number(section, levels_of(previous), parse_log_number(token.text));
        break;
      default:
        break;
    }
    if (token.type != Token::comment) previous = token.type;
  }
}

void load_log_config() {
  LogSwitchOff off;
  File file;
  std::string opened;
  if (!open_log_file(file, log_config_path(), AbstractFile::in, &opened)) return;
  io::FileBuf buffer(file.handle(), file.mode());
  std::istream in(&buffer);
  if (!parse_log_config(in)) {
    std::fprintf(stderr, "%s: \"+=\" and \"-=\" are not understood; the settings after them are ignored\n",
                 opened.c_str());
  }
}

}  // namespace talvo
