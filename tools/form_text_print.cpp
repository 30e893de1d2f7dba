// Printing a form tree as text: names plain where they can be, strings quoted
// with #N for the bytes that do not print, values with the keyword their code
// needs and no more.
#include "tools/form_text.h"

#include <cstdint>

#include "storage/byte_cursor.h"
#include "tools/form_text_keywords.h"

namespace {

using form_text::IsIdentChar;
using form_text::IsIdentStart;
using form_text::Keyword;
using form_text::KeywordOf;
using form_text::ValueWord;

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
  return !partStart && !form_text::FindKeyword(text);
}

// Quotes characters 0x20 to 0x7E, "#N" for every other unit: narrow bytes or
// UTF-16 code units.
template <typename UnitAt>
std::string QuoteUnits(size_t count, UnitAt unitAt) {
  std::string out;
  bool open = false;
  for (size_t i = 0; i < count; ++i) {
    const unsigned unit = unitAt(i);
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

std::string Quote(const std::string& bytes) {
  if (bytes.empty()) return "''";
  return QuoteUnits(bytes.size(),
                    [&](size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[i])); });
}

std::string QuoteWide(const std::string& utf16le) {
  if (utf16le.empty()) return "''";
  const auto* units = reinterpret_cast<const uint8_t*>(utf16le.data());
  return QuoteUnits(utf16le.size() / 2, [&](size_t i) { return static_cast<unsigned>(LoadLittle(units + 2 * i, 2)); });
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
    const Keyword* keyword = KeywordOf(v.code);
    const std::string prefix = keyword ? std::string(keyword->word) + " " : std::string();
    if (keyword && keyword->kind == ValueWord::Constant) return keyword->word;
    if (keyword && keyword->kind == ValueWord::Fixed) return prefix + Hex(v.bytes, indent);
    switch (v.code) {
      case ValueCode::Int8:
      case ValueCode::Int16:
      case ValueCode::Int32:
      case ValueCode::Int64:
        // A number alone reads back with the narrowest code.
        return (NarrowestIntegerCode(v.integer) != v.code ? prefix : "") + std::to_string(v.integer);
      case ValueCode::String:
        return Quote(v.bytes);
      case ValueCode::LString:
        // A quoted string of 256 bytes or more reads back as one.
        return (v.bytes.size() < 256 ? prefix : "") + Quote(v.bytes);
      case ValueCode::Utf8String:
        return prefix + Quote(v.bytes);
      case ValueCode::WString:
        return prefix + QuoteWide(v.bytes);
      case ValueCode::Ident:
        return IsPlainName(v.bytes, false) ? v.bytes : prefix + Quote(v.bytes);
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
      case ValueCode::Collection:
        return Collection(v, indent);
      default:
        return "?";
    }
  }

  std::string Collection(const FormValue& v, const std::string& indent) {
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

  BlockStyle blocks_;
  std::string out_;
};

}  // namespace

std::string PrintFormTree(const FormObject& root, BlockStyle blocks) {
  Printer printer(blocks);
  printer.Object(root, "");
  return printer.Take();
}
