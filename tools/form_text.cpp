// Printing a form tree as text, and compiling that text back into a tree.
//
// Syntax. "//" starts a comment to the end of the line; layout is free.
//   object NAME: CLASS [flags N] [index VALUE]   an object (N: the prefix's low
//     PROPERTY = VALUE                            four bits; index: its integer)
//     ... child objects ...
//   end
// NAME, CLASS and PROPERTY are identifiers (PROPERTY may be dotted, Font.Name)
// or quoted strings. Values, with the stream code each gives:
//   123, -11            integer, narrowest of codes 2, 3, 4 (19 past 32 bits)
//   int8|int16|int32|int64 N   that integer code exactly
//   'it''s'#13#10'x'    string: quoted parts and #N bytes run together; code 6
//                       below 256 bytes, else 12
//   lstring S, utf8 S, wstring S   codes 12, 20, 18 (for wstring each byte or
//                       #N is one UTF-16 code unit, N up to 65535)
//   clBtnFace           identifier (code 7); ident S for any text
//   False, True, nil, null   codes 8, 9, 13, 0
//   [fsBold, fsItalic]  set;   (V V ...) list
//   < item [INTEGER] PROPERTY = VALUE ... end ... >   collection
//   {0A 1B ...}         byte block (code 10) in hex; "{ N bytes }" is how a
//                       dump shows a block without its bytes, and does not compile
//   file 'x.bin'        byte block holding a file
//   graphic TGIFImage 'banner.gif'   byte block: the class name as a short
//                       string, the file's 32-bit length, then the file
//   extended|single|currency|date {hex}   the fixed-width codes, raw bytes
#include "tools/form_text.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "framework/classes.h"
#include "framework/errors.h"
#include "framework/streams.h"

namespace {

// ---- printing ----

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Words with a meaning of their own where a value starts.
const char* const kValueKeywords[] = {"False",    "True", "nil",     "null",   "int8", "int16",   "int32",    "int64",
                                      "lstring",  "utf8", "wstring", "ident",  "file", "graphic", "extended", "single",
                                      "currency", "date", "item",    "object", "end",  "flags",   "index"};

bool IsKeyword(const std::string& word) {
  for (const char* keyword : kValueKeywords)
    if (SameText(word, keyword)) return true;
  return false;
}

bool IsPlainName(const std::string& text, bool dotted) {
  if (text.empty()) return false;
  bool partStart = true;
  for (char c : text) {
    if (dotted && c == '.' && !partStart) {
      partStart = true;
      continue;
    }
    if (partStart ? !IsIdentStart(c) : !IsIdentChar(c)) return false;
    partStart = false;
  }
  return !partStart && !IsKeyword(text);
}

std::string Quote(const std::string& bytes) {
  if (bytes.empty()) return "''";
  std::string out;
  bool open = false;
  for (char ch : bytes) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c < 0x7F) {
      if (!open) out += '\'';
      open = true;
      out += ch;
      if (ch == '\'') out += '\'';
    } else {
      if (open) out += '\'';
      open = false;
      out += '#' + std::to_string(c);
    }
  }
  if (open) out += '\'';
  return out;
}

std::string QuoteWide(const std::string& utf16le) {
  if (utf16le.empty()) return "''";
  std::string out;
  bool open = false;
  for (size_t i = 0; i + 1 < utf16le.size(); i += 2) {
    const unsigned unit = static_cast<unsigned char>(utf16le[i]) | static_cast<unsigned char>(utf16le[i + 1]) << 8;
    if (unit >= 0x20 && unit < 0x7F) {
      if (!open) out += '\'';
      open = true;
      out += static_cast<char>(unit);
      if (unit == '\'') out += '\'';
    } else {
      if (open) out += '\'';
      open = false;
      out += '#' + std::to_string(unit);
    }
  }
  if (open) out += '\'';
  return out;
}

std::string Name(const std::string& text, bool dotted) { return IsPlainName(text, dotted) ? text : Quote(text); }

std::string Hex(const std::string& bytes, const std::string& indent) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out = "{";
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i % 32 == 0 && bytes.size() > 32)
      out += "\n" + indent + "  ";
    else if (i != 0)
      out += ' ';
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  if (bytes.size() > 32) out += "\n" + indent;
  return out + "}";
}

ValueCode NarrowestCode(int64_t v) {
  if (v >= -128 && v <= 127) return ValueCode::Int8;
  if (v >= -32768 && v <= 32767) return ValueCode::Int16;
  if (v >= INT32_MIN && v <= INT32_MAX) return ValueCode::Int32;
  return ValueCode::Int64;
}

class Printer {
 public:
  explicit Printer(BlockStyle blocks) : blocks_(blocks) {}

  void Object(const FormObject& object, const std::string& indent) {
    out_ += indent + "object " + Name(object.name, false) + ": " + Name(object.className, false);
    if (object.flags) out_ += " flags " + std::to_string(*object.flags);
    for (const FormValue& position : object.position) out_ += " index " + Value(position, indent);
    out_ += '\n';
    Properties(object.properties, indent + "  ");
    for (const FormObject& child : object.children) Object(child, indent + "  ");
    out_ += indent + "end\n";
  }

  std::string Take() { return std::move(out_); }

 private:
  void Properties(const std::vector<FormProperty>& properties, const std::string& indent) {
    for (const FormProperty& property : properties)
      out_ += indent + Name(property.name, true) + " = " + Value(property.value.front(), indent) + '\n';
  }

  std::string Value(const FormValue& v, const std::string& indent) {
    switch (v.code) {
      case ValueCode::Null:
        return "null";
      case ValueCode::False:
        return "False";
      case ValueCode::True:
        return "True";
      case ValueCode::Nil:
        return "nil";
      case ValueCode::Int8:
      case ValueCode::Int16:
      case ValueCode::Int32:
      case ValueCode::Int64: {
        static const char* const kWidths[] = {"int8 ", "int16 ", "int32 "};
        std::string prefix;
        if (NarrowestCode(v.integer) != v.code)
          prefix = v.code == ValueCode::Int64 ? "int64 " : kWidths[static_cast<int>(v.code) - 2];
        return prefix + std::to_string(v.integer);
      }
      case ValueCode::String:
        return Quote(v.bytes);
      case ValueCode::LString:
        return (v.bytes.size() < 256 ? "lstring " : "") + Quote(v.bytes);
      case ValueCode::Utf8String:
        return "utf8 " + Quote(v.bytes);
      case ValueCode::WString:
        return "wstring " + QuoteWide(v.bytes);
      case ValueCode::Ident:
        return IsPlainName(v.bytes, false) ? v.bytes : "ident " + Quote(v.bytes);
      case ValueCode::Extended:
        return "extended " + Hex(v.bytes, indent);
      case ValueCode::Single:
        return "single " + Hex(v.bytes, indent);
      case ValueCode::Currency:
        return "currency " + Hex(v.bytes, indent);
      case ValueCode::Date:
        return "date " + Hex(v.bytes, indent);
      case ValueCode::Binary:
        if (blocks_ == BlockStyle::Sizes) return "{ " + std::to_string(v.bytes.size()) + " bytes }";
        return Hex(v.bytes, indent);
      case ValueCode::Set: {
        std::string out = "[";
        for (size_t i = 0; i < v.elements.size(); ++i) out += (i ? ", " : "") + Name(v.elements[i], false);
        return out + "]";
      }
      case ValueCode::List: {
        std::string out = "(";
        for (size_t i = 0; i < v.list.size(); ++i) out += (i ? " " : "") + Value(v.list[i], indent);
        return out + ")";
      }
      case ValueCode::Collection: {
        std::string out = "<";
        for (const FormCollectionItem& item : v.items) {
          std::string saved = std::move(out_);
          out_.clear();
          Properties(item.properties, indent + "    ");
          std::string body = std::move(out_);
          out_ = std::move(saved);
          out += "\n" + indent + "  item";
          for (const FormValue& index : item.index) out += " " + Value(index, indent);
          out += "\n" + body + indent + "  end";
        }
        return out + (v.items.empty() ? ">" : "\n" + indent + ">");
      }
    }
    return "?";
  }

  BlockStyle blocks_;
  std::string out_;
};

// ---- parsing ----

enum class TokenKind { End, Word, Number, String, Punct, Hex };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;             // Word, Punct; String: bytes (or code units, two bytes each, see wide)
  std::vector<uint32_t> units;  // String: each quoted character or #N
  int64_t number = 0;
  int line = 1;
};

class TextParser {
 public:
  TextParser(const std::string& text, const std::string& source, const std::string& baseDir)
      : text_(text), source_(source), baseDir_(baseDir) {
    Advance();
  }

  FormObject Root() {
    FormObject root = Object();
    if (token_.kind != TokenKind::End) Fail("text after the root object's end");
    return root;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw EFormatError(source_ + ":" + std::to_string(token_.line) + ": " + what);
  }

  bool IsWord(const char* word) const { return token_.kind == TokenKind::Word && SameText(token_.text, word); }
  bool IsPunct(char c) const { return token_.kind == TokenKind::Punct && token_.text[0] == c; }
  void Expect(char c) {
    if (!IsPunct(c)) Fail(std::string("expected '") + c + "'");
    Advance();
  }
  void ExpectWord(const char* word) {
    if (!IsWord(word)) Fail(std::string("expected ") + word);
    Advance();
  }

  std::string NameToken(const char* what) {
    std::string name;
    if (token_.kind == TokenKind::Word) {
      name = token_.text;
    } else if (token_.kind == TokenKind::String) {
      name = Narrow(token_);
    } else {
      Fail(std::string("expected ") + what);
    }
    if (name.size() > 255) Fail(std::string(what) + " longer than 255 bytes");
    Advance();
    return name;
  }

  FormObject Object() {
    ExpectWord("object");
    if (++objectDepth_ > kMaxObjectDepth) Fail("objects nested too deeply");
    FormObject object;
    // "object : TClass" has an empty name.
    if (!IsPunct(':')) object.name = NameToken("an object name");
    Expect(':');
    object.className = NameToken("a class name");
    if (IsWord("flags")) {
      Advance();
      if (token_.kind != TokenKind::Number || token_.number < 0 || token_.number > 15)
        Fail("flags takes a number from 0 to 15");
      object.flags = static_cast<uint8_t>(token_.number);
      Advance();
    }
    if (IsWord("index")) {
      Advance();
      object.position.push_back(Value());
      if (object.position.back().code < ValueCode::Int8 || object.position.back().code > ValueCode::Int32)
        Fail("index takes an integer");
    }
    if (!object.position.empty() != (object.flags && (*object.flags & kFlagChildPos)))
      Fail("index goes with flags that hold 2, and only with them");
    while (!IsWord("end") && !IsWord("object")) object.properties.push_back(Property());
    while (IsWord("object")) object.children.push_back(Object());
    ExpectWord("end");
    --objectDepth_;
    return object;
  }

  FormProperty Property() {
    FormProperty property;
    property.name = NameToken("a property name");
    Expect('=');
    property.value.push_back(Value());
    return property;
  }

  FormValue Integer(ValueCode code) {
    if (token_.kind != TokenKind::Number) Fail("expected a number");
    FormValue v;
    v.code = code;
    v.integer = token_.number;
    const int64_t limits[][2] = {{-128, 127}, {-32768, 32767}, {INT32_MIN, INT32_MAX}};
    if (code != ValueCode::Int64) {
      const auto& range = limits[static_cast<int>(code) - 2];
      if (v.integer < range[0] || v.integer > range[1]) Fail("number out of range for its width");
    }
    Advance();
    return v;
  }

  FormValue StringValue(ValueCode code) {
    if (token_.kind != TokenKind::String) Fail("expected a quoted string");
    FormValue v;
    v.code = code;
    if (code == ValueCode::WString) {
      for (uint32_t unit : token_.units) {
        if (unit > 0xFFFF) Fail("character code above 65535");
        v.bytes += static_cast<char>(unit & 0xFF);
        v.bytes += static_cast<char>(unit >> 8);
      }
    } else {
      v.bytes = Narrow(token_);
      if (code == ValueCode::Ident && v.bytes.size() > 255) Fail("identifier longer than 255 bytes");
    }
    Advance();
    return v;
  }

  std::string Narrow(const Token& t) const {
    std::string bytes;
    for (uint32_t unit : t.units) {
      if (unit > 255) Fail("character code above 255 outside a wide string");
      bytes += static_cast<char>(unit);
    }
    return bytes;
  }

  std::string HexBytes() {
    if (token_.kind != TokenKind::Hex) Fail("expected {hex bytes}");
    std::string bytes = token_.text;
    Advance();
    return bytes;
  }

  std::string ReadFileBytes() {
    if (token_.kind != TokenKind::String) Fail("expected a quoted file name");
    std::string path = Narrow(token_);
    if (!path.empty() && path[0] != '/' && !baseDir_.empty()) path = baseDir_ + "/" + path;
    Advance();
    std::unique_ptr<TStream> file = NativeFileSystem().OpenFileStream(path);
    const std::vector<uint8_t> bytes = ReadAll(*file);
    return std::string(bytes.begin(), bytes.end());
  }

  FormValue Value() {
    FormValue v;
    if (token_.kind == TokenKind::Number) {
      return Integer(NarrowestCode(token_.number));
    } else if (token_.kind == TokenKind::String) {
      const bool isLong = Narrow(token_).size() >= 256;
      return StringValue(isLong ? ValueCode::LString : ValueCode::String);
    } else if (token_.kind == TokenKind::Hex) {
      v.code = ValueCode::Binary;
      v.bytes = HexBytes();
      return v;
    } else if (IsPunct('[')) {
      Advance();
      v.code = ValueCode::Set;
      while (!IsPunct(']')) {
        v.elements.push_back(NameToken("a set element"));
        if (v.elements.back().empty()) Fail("a set element cannot be empty");
        if (!IsPunct(']')) Expect(',');
      }
      Advance();
      return v;
    } else if (IsPunct('(')) {
      Nest();
      Advance();
      v.code = ValueCode::List;
      while (!IsPunct(')')) v.list.push_back(Value());
      Advance();
      --depth_;
      return v;
    } else if (IsPunct('<')) {
      Nest();
      Advance();
      v.code = ValueCode::Collection;
      while (!IsPunct('>')) {
        ExpectWord("item");
        FormCollectionItem item;
        if (token_.kind == TokenKind::Number || IsWord("int8") || IsWord("int16") || IsWord("int32")) {
          item.index.push_back(Value());
          if (item.index.back().code > ValueCode::Int32) Fail("an item index takes an integer of 32 bits");
        }
        while (!IsWord("end")) item.properties.push_back(Property());
        Advance();
        v.items.push_back(std::move(item));
      }
      Advance();
      --depth_;
      return v;
    } else if (token_.kind != TokenKind::Word || IsWord("end") || IsWord("object") || IsWord("item")) {
      Fail("expected a value");  // those words end or open a block; "ident 'end'" names them
    }
    static const struct {
      const char* word;
      ValueCode code;
    } kPlain[] = {{"False", ValueCode::False},
                  {"True", ValueCode::True},
                  {"nil", ValueCode::Nil},
                  {"null", ValueCode::Null}},
      kIntegers[] = {{"int8", ValueCode::Int8},
                     {"int16", ValueCode::Int16},
                     {"int32", ValueCode::Int32},
                     {"int64", ValueCode::Int64}},
      kStrings[] = {{"lstring", ValueCode::LString},
                    {"utf8", ValueCode::Utf8String},
                    {"wstring", ValueCode::WString},
                    {"ident", ValueCode::Ident}},
      kFixed[] = {{"extended", ValueCode::Extended},
                  {"single", ValueCode::Single},
                  {"currency", ValueCode::Currency},
                  {"date", ValueCode::Date}};
    for (const auto& k : kPlain)
      if (IsWord(k.word)) {
        Advance();
        v.code = k.code;
        return v;
      }
    for (const auto& k : kIntegers)
      if (IsWord(k.word)) {
        Advance();
        return Integer(k.code);
      }
    for (const auto& k : kStrings)
      if (IsWord(k.word)) {
        Advance();
        return StringValue(k.code);
      }
    for (const auto& k : kFixed)
      if (IsWord(k.word)) {
        Advance();
        v.code = k.code;
        v.bytes = HexBytes();
        if (v.bytes.size() != FixedWidth(k.code))
          Fail(std::string(k.word) + " takes " + std::to_string(FixedWidth(k.code)) + " bytes");
        return v;
      }
    if (IsWord("file")) {
      Advance();
      v.code = ValueCode::Binary;
      v.bytes = ReadFileBytes();
      return v;
    }
    if (IsWord("graphic")) {
      Advance();
      const std::string className = NameToken("a graphic class name");
      const std::string bytes = ReadFileBytes();
      if (bytes.size() > 0x7FFFFFFFu) Fail("graphic file too large");
      v.code = ValueCode::Binary;
      v.bytes += static_cast<char>(className.size());
      v.bytes += className;
      for (int i = 0; i < 4; ++i) v.bytes += static_cast<char>(bytes.size() >> (8 * i));
      v.bytes += bytes;
      return v;
    }
    if (token_.text.find('.') != std::string::npos) Fail("an identifier value cannot hold a dot");
    v.code = ValueCode::Ident;
    v.bytes = token_.text;
    if (v.bytes.size() > 255) Fail("identifier longer than 255 bytes");
    Advance();
    return v;
  }

  void Nest() {
    if (++depth_ > kMaxValueDepth) Fail("values nested too deeply");
  }

  // ---- tokens ----

  void Advance() {
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

  void SkipBlanks() {
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

  void StringToken() {
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

  void HexToken() {
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

  const std::string& text_;
  std::string source_;
  std::string baseDir_;
  size_t pos_ = 0;
  int line_ = 1;
  int depth_ = 0;
  int objectDepth_ = 0;
  Token token_;
};

}  // namespace

std::string PrintFormTree(const FormObject& root, BlockStyle blocks) {
  Printer printer(blocks);
  printer.Object(root, "");
  return printer.Take();
}

FormObject ParseFormText(const std::string& text, const std::string& source, const std::string& baseDir) {
  return TextParser(text, source, baseDir).Root();
}
