// The form text's tokens, private to its parser: words, numbers, quoted strings,
// {hex} blocks and punctuation, each with the line it starts on; "//" comments
// and blanks between them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace form_text {

enum class TokenKind { End, Word, Number, String, Punct, Hex };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;             // Word, Punct; Hex: the bytes
  std::vector<uint32_t> units;  // String: each quoted character or #N
  int64_t number = 0;
  int line = 1;
};

class Lexer {
 public:
  // `text` must outlive the lexer. Reads the first token.
  Lexer(const std::string& text, const std::string& source);
  Lexer(const Lexer&) = delete;
  Lexer& operator=(const Lexer&) = delete;

  // The same object from token to token.
  const Token& Current() const { return token_; }
  void Advance();
  // EFormatError "<source>:<line>: <what>", on the current token's line.
  [[noreturn]] void Fail(const std::string& what) const;

 private:
  void SkipBlanks();
  void StringToken();
  void HexToken();

  const std::string& text_;
  std::string source_;
  size_t pos_ = 0;
  int line_ = 1;
  Token token_;
};

}  // namespace form_text
