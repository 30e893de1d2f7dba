// Compiling the form text (its syntax is described in form_text.h) into a form
// tree: tokens, then objects, properties and values, each value as the keyword
// table of form_text_keywords.h says.
#include "tools/form_text.h"

#include <cstdint>
#include <memory>

#include "framework/errors.h"
#include "framework/native_files.h"
#include "framework/streams.h"
#include "tools/form_text_keywords.h"
#include "tools/form_text_tokens.h"

namespace {

using form_text::FindKeyword;
using form_text::Keyword;
using form_text::Lexer;
using form_text::Token;
using form_text::TokenKind;
using form_text::ValueWord;

class TextParser {
 public:
  TextParser(const std::string& text, const std::string& source, const std::string& baseDir)
      : lexer_(text, source), baseDir_(baseDir) {}

  FormObject Root() {
    FormObject root = Object();
    if (token_.kind != TokenKind::End) Fail("text after the root object's end");
    return root;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const { lexer_.Fail(what); }
  void Advance() { lexer_.Advance(); }

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
      if (!IsInt32Code(static_cast<uint8_t>(object.position.back().code))) Fail("index takes an integer");
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
    if (!FitsInteger(code, v.integer)) Fail("number out of range for its width");
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
    switch (token_.kind) {
      case TokenKind::Number:
        return Integer(NarrowestIntegerCode(token_.number));
      case TokenKind::String:
        return StringValue(Narrow(token_).size() >= 256 ? ValueCode::LString : ValueCode::String);
      case TokenKind::Hex:
        return Block(HexBytes());
      case TokenKind::Punct:
        if (IsPunct('[')) return SetValue();
        if (IsPunct('(')) return ListValue();
        if (IsPunct('<')) return CollectionValue();
        break;
      case TokenKind::Word:
        return WordValue();
      case TokenKind::End:
        break;
    }
    Fail("expected a value");
  }

  // A keyword's value, as the keyword table says, or an identifier.
  FormValue WordValue() {
    const Keyword* keyword = FindKeyword(token_.text);
    if (!keyword || keyword->kind == ValueWord::Identifier) return IdentifierValue();
    if (keyword->kind == ValueWord::NotAValue) Fail("expected a value");
    Advance();
    FormValue v;
    switch (keyword->kind) {
      case ValueWord::Constant:
        v.code = keyword->code;
        return v;
      case ValueWord::Integer:
        return Integer(keyword->code);
      case ValueWord::String:
        return StringValue(keyword->code);
      case ValueWord::Fixed:
        v.code = keyword->code;
        v.bytes = HexBytes();
        if (v.bytes.size() != FixedWidth(keyword->code))
          Fail(std::string(keyword->word) + " takes " + std::to_string(FixedWidth(keyword->code)) + " bytes");
        return v;
      case ValueWord::File:
        return Block(ReadFileBytes());
      case ValueWord::Graphic:
        return GraphicValue();
      case ValueWord::Identifier:
      case ValueWord::NotAValue:
        break;
    }
    Fail("expected a value");
  }

  FormValue IdentifierValue() {
    if (token_.text.find('.') != std::string::npos) Fail("an identifier value cannot hold a dot");
    FormValue v;
    v.code = ValueCode::Ident;
    v.bytes = token_.text;
    if (v.bytes.size() > 255) Fail("identifier longer than 255 bytes");
    Advance();
    return v;
  }

  static FormValue Block(std::string bytes) {
    FormValue v;
    v.code = ValueCode::Binary;
    v.bytes = std::move(bytes);
    return v;
  }

  // The class name as a short string, the file's 32-bit length, then the file.
  FormValue GraphicValue() {
    const std::string className = NameToken("a graphic class name");
    const std::string bytes = ReadFileBytes();
    if (bytes.size() > 0x7FFFFFFFu) Fail("graphic file too large");
    std::string block(1, static_cast<char>(className.size()));
    block += className;
    for (int i = 0; i < 4; ++i) block += static_cast<char>(bytes.size() >> (8 * i));
    return Block(block + bytes);
  }

  FormValue SetValue() {
    Advance();
    FormValue v;
    v.code = ValueCode::Set;
    while (!IsPunct(']')) {
      v.elements.push_back(NameToken("a set element"));
      if (v.elements.back().empty()) Fail("a set element cannot be empty");
      if (!IsPunct(']')) Expect(',');
    }
    Advance();
    return v;
  }

  FormValue ListValue() {
    Nest();
    Advance();
    FormValue v;
    v.code = ValueCode::List;
    while (!IsPunct(')')) v.list.push_back(Value());
    Advance();
    --depth_;
    return v;
  }

  FormValue CollectionValue() {
    Nest();
    Advance();
    FormValue v;
    v.code = ValueCode::Collection;
    while (!IsPunct('>')) {
      ExpectWord("item");
      FormCollectionItem item;
      if (StartsItemIndex()) {
        item.index.push_back(Value());
        if (!IsInt32Code(static_cast<uint8_t>(item.index.back().code)))
          Fail("an item index takes an integer of 32 bits");
      }
      while (!IsWord("end")) item.properties.push_back(Property());
      Advance();
      v.items.push_back(std::move(item));
    }
    Advance();
    --depth_;
    return v;
  }

  // A number, or a keyword of an integer code of 32 bits or fewer.
  bool StartsItemIndex() const {
    if (token_.kind == TokenKind::Number) return true;
    const Keyword* keyword = token_.kind == TokenKind::Word ? FindKeyword(token_.text) : nullptr;
    return keyword && keyword->kind == ValueWord::Integer && IsInt32Code(static_cast<uint8_t>(keyword->code));
  }

  void Nest() {
    if (++depth_ > kMaxValueDepth) Fail("values nested too deeply");
  }

  Lexer lexer_;
  const Token& token_ = lexer_.Current();
  std::string baseDir_;
  int depth_ = 0;
  int objectDepth_ = 0;
};

}  // namespace

FormObject ParseFormText(const std::string& text, const std::string& source, const std::string& baseDir) {
  return TextParser(text, source, baseDir).Root();
}
