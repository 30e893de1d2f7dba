// Cutting the form text into tokens: identifiers (dotted too), decimal numbers,
// strings of quoted parts and #N codes run together, {hex} blocks, punctuation.
#include "tools/form_text_tokens.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "framework/errors.h"
#include "tools/form_text_keywords.h"

namespace form_text {

Lexer::Lexer(const std::string& text, const std::string& source) : text_(text), source_(source) { Advance(); }

void Lexer::Fail(const std::string& what) const {
  throw EFormatError(source_ + ":" + std::to_string(token_.line) + ": " + what);
}

void Lexer::Advance() {
  SkipBlanks();
  token_ = Token();
  token_.line = line_;
  if (pos_ >= text_.size()) return;
  const char c = text_[pos_];
  if (IsIdentStart(c)) {
    const size_t start = pos_;
    while (pos_ < text_.size() && (IsIdentChar(text_[pos_]) || text_[pos_] == '.')) ++pos_;
    token_.kind = TokenKind::Word;
    token_.text = text_.substr(start, pos_ - start);
  } else if (std::isdigit(static_cast<unsigned char>(c)) ||
             (c == '-' && pos_ + 1 < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_ + 1])))) {
    const size_t start = pos_++;
    while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    const std::string digits = text_.substr(start, pos_ - start);
    if (digits.size() > 20) Fail("number too long");
    errno = 0;
    token_.number = std::strtoll(digits.c_str(), nullptr, 10);
    if (errno == ERANGE) Fail("number out of range");
    token_.kind = TokenKind::Number;
  } else if (c == '\'' || c == '#') {
    token_.kind = TokenKind::String;
    StringToken();
  } else if (c == '{') {
    HexToken();
  } else if (std::string("=:[](),<>").find(c) != std::string::npos) {
    token_.kind = TokenKind::Punct;
    token_.text = std::string(1, c);
    ++pos_;
  } else {
    Fail(std::string("unexpected character '") + c + "'");
  }
}

void Lexer::SkipBlanks() {
  while (pos_ < text_.size()) {
    const char c = text_[pos_];
    if (c == '\n') {
      ++line_;
      ++pos_;
    } else if (std::isspace(static_cast<unsigned char>(c))) {
      ++pos_;
    } else if (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '/') {
      while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
    } else {
      return;
    }
  }
}

void Lexer::StringToken() {
  while (pos_ < text_.size() && (text_[pos_] == '\'' || text_[pos_] == '#')) {
    if (text_[pos_] == '#') {
      ++pos_;
      uint32_t unit = 0;
      size_t digits = 0;
      while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_])) && digits < 6) {
        unit = unit * 10 + static_cast<uint32_t>(text_[pos_++] - '0');
        ++digits;
      }
      if (digits == 0) Fail("# needs a character code");
      token_.units.push_back(unit);
      continue;
    }
    ++pos_;
    for (;;) {
      if (pos_ >= text_.size() || text_[pos_] == '\n') Fail("unterminated string");
      if (text_[pos_] == '\'') {
        if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
          token_.units.push_back('\'');
          pos_ += 2;
          continue;
        }
        ++pos_;
        break;
      }
      token_.units.push_back(static_cast<unsigned char>(text_[pos_++]));
    }
  }
}

void Lexer::HexToken() {
  const size_t close = text_.find('}', pos_);
  if (close == std::string::npos) Fail("unterminated {");
  const std::string body = text_.substr(pos_ + 1, close - pos_ - 1);
  if (body.find("bytes") != std::string::npos) Fail("a block shown by its size only has no bytes to compile");
  std::string bytes;
  int pending = -1;
  for (char c : body) {
    if (c == '\n') ++line_;
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) Fail("a {...} block takes hex digits");
    const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (std::toupper(c) - 'A' + 10);
    if (pending < 0) {
      pending = digit;
    } else {
      bytes += static_cast<char>(pending << 4 | digit);
      pending = -1;
    }
  }
  if (pending >= 0) Fail("odd number of hex digits");
  pos_ = close + 1;
  token_.kind = TokenKind::Hex;
  token_.text = std::move(bytes);
}

}  // namespace form_text
