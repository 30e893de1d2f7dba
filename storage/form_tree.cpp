// Parsing any form stream into a generic tree and writing the tree back.
#include "storage/form_tree.h"

#include "framework/errors.h"
#include "framework/messages.h"
#include "framework/streams.h"
#include "storage/byte_cursor.h"

bool operator==(const FormProperty& a, const FormProperty& b) { return a.name == b.name && a.value == b.value; }
bool operator==(const FormCollectionItem& a, const FormCollectionItem& b) {
  return a.index == b.index && a.properties == b.properties;
}
bool FormValue::operator==(const FormValue& o) const {
  return code == o.code && integer == o.integer && bytes == o.bytes && elements == o.elements && list == o.list &&
         items == o.items;
}
bool FormObject::operator==(const FormObject& o) const {
  return flags == o.flags && position == o.position && className == o.className && name == o.name &&
         properties == o.properties && children == o.children;
}

size_t FixedWidth(ValueCode code) {
  switch (code) {
    case ValueCode::Extended:
      return 10;
    case ValueCode::Single:
      return 4;
    case ValueCode::Currency:
    case ValueCode::Date:
      return 8;
    default:
      return 0;
  }
}

namespace {

[[noreturn]] void StreamReadError() { throw EReadError(msg::kStreamReadError); }
[[noreturn]] void InvalidFormat() { throw EReadError(msg::kInvalidStreamFormat); }

bool IsIntegerCode(uint8_t code) { return code >= 2 && code <= 4; }

class TreeParser {
 public:
  TreeParser(const uint8_t* data, size_t size) : in_(data, size, StreamReadError) {}

  FormObject Parse(size_t* bytesRead) {
    if (in_.Bytes(4) != kFormSignature) InvalidFormat();
    FormObject root = Object(1);
    if (bytesRead)
      *bytesRead = in_.offset();
    else if (!in_.AtEnd())
      InvalidFormat();
    return root;
  }

 private:
  FormObject Object(int depth) {
    if (depth > kMaxObjectDepth) InvalidFormat();
    FormObject object;
    if ((in_.Peek() & kPrefixMask) == kPrefixMask) {
      object.flags = in_.U8() & 0x0F;
      if (*object.flags & kFlagChildPos) {
        if (!IsIntegerCode(in_.Peek())) InvalidFormat();
        object.position.push_back(Value(0));
      }
    }
    object.className = in_.ShortString();
    object.name = in_.ShortString();
    object.properties = Properties(0);
    while (in_.Peek() != 0) object.children.push_back(Object(depth + 1));
    in_.U8();
    return object;
  }

  std::vector<FormProperty> Properties(int depth) {
    std::vector<FormProperty> properties;
    while (in_.Peek() != 0) {
      FormProperty property;
      property.name = in_.ShortString();
      property.value.push_back(Value(depth));
      properties.push_back(std::move(property));
    }
    in_.U8();
    return properties;
  }

  FormValue Value(int depth) {
    if (depth > kMaxValueDepth) InvalidFormat();
    FormValue value;
    const uint8_t code = in_.U8();
    if (code > kLastValueCode) InvalidFormat();
    value.code = static_cast<ValueCode>(code);
    switch (value.code) {
      case ValueCode::Null:
      case ValueCode::False:
      case ValueCode::True:
      case ValueCode::Nil:
        break;
      case ValueCode::Int8:
        value.integer = static_cast<int8_t>(in_.U8());
        break;
      case ValueCode::Int16:
        value.integer = static_cast<int16_t>(in_.U16());
        break;
      case ValueCode::Int32:
        value.integer = static_cast<int32_t>(in_.U32());
        break;
      case ValueCode::Int64:
        value.integer = static_cast<int64_t>(in_.U64());
        break;
      case ValueCode::Extended:
      case ValueCode::Single:
      case ValueCode::Currency:
      case ValueCode::Date:
        value.bytes = in_.Bytes(FixedWidth(value.code));
        break;
      case ValueCode::String:
      case ValueCode::Ident:
        value.bytes = in_.ShortString();
        break;
      case ValueCode::Binary:
      case ValueCode::LString:
      case ValueCode::Utf8String:
        value.bytes = in_.Bytes(in_.U32());
        break;
      case ValueCode::WString: {
        const uint32_t units = in_.U32();
        if (!(units <= in_.remaining() / 2)) StreamReadError();
        value.bytes = in_.Bytes(size_t{units} * 2);
        break;
      }
      case ValueCode::Set:
        for (std::string element = in_.ShortString(); !element.empty(); element = in_.ShortString())
          value.elements.push_back(std::move(element));
        break;
      case ValueCode::List:
        while (in_.Peek() != 0) value.list.push_back(Value(depth + 1));
        in_.U8();
        break;
      case ValueCode::Collection:
        while (in_.Peek() != 0) {
          FormCollectionItem item;
          if (IsIntegerCode(in_.Peek())) item.index.push_back(Value(depth + 1));
          // The tree keeps what it can write back: an item starts with 01.
          if (in_.U8() != static_cast<uint8_t>(ValueCode::List)) InvalidFormat();
          item.properties = Properties(depth + 1);
          value.items.push_back(std::move(item));
        }
        in_.U8();
        break;
    }
    return value;
  }

  ByteCursor in_;
};

class TreeWriter {
 public:
  std::vector<uint8_t> Write(const FormObject& root) {
    Raw(kFormSignature, 4);
    Object(root);
    return std::vector<uint8_t>(out_.Memory(), out_.Memory() + out_.Size());
  }

 private:
  void Object(const FormObject& object) {
    if (object.flags) {
      Byte(static_cast<uint8_t>(kPrefixMask | (*object.flags & 0x0F)));
      for (const FormValue& position : object.position) Value(position);
    }
    ShortString(object.className);
    ShortString(object.name);
    Properties(object.properties);
    for (const FormObject& child : object.children) Object(child);
    Byte(0);
  }

  void Properties(const std::vector<FormProperty>& properties) {
    for (const FormProperty& property : properties) {
      ShortString(property.name);
      if (property.value.size() != 1) throw EWriteError(msg::kStreamWriteError);
      Value(property.value.front());
    }
    Byte(0);
  }

  void Value(const FormValue& value) {
    Byte(static_cast<uint8_t>(value.code));
    switch (value.code) {
      case ValueCode::Null:
      case ValueCode::False:
      case ValueCode::True:
      case ValueCode::Nil:
        break;
      case ValueCode::Int8:
        Little(static_cast<uint64_t>(value.integer), 1);
        break;
      case ValueCode::Int16:
        Little(static_cast<uint64_t>(value.integer), 2);
        break;
      case ValueCode::Int32:
        Little(static_cast<uint64_t>(value.integer), 4);
        break;
      case ValueCode::Int64:
        Little(static_cast<uint64_t>(value.integer), 8);
        break;
      case ValueCode::Extended:
      case ValueCode::Single:
      case ValueCode::Currency:
      case ValueCode::Date:
        if (value.bytes.size() != FixedWidth(value.code)) throw EWriteError(msg::kStreamWriteError);
        Raw(value.bytes.data(), value.bytes.size());
        break;
      case ValueCode::String:
      case ValueCode::Ident:
        ShortString(value.bytes);
        break;
      case ValueCode::Binary:
      case ValueCode::LString:
      case ValueCode::Utf8String:
        LongBytes(value.bytes, value.bytes.size());
        break;
      case ValueCode::WString:
        if (value.bytes.size() % 2 != 0) throw EWriteError(msg::kStreamWriteError);
        LongBytes(value.bytes, value.bytes.size() / 2);
        break;
      case ValueCode::Set:
        for (const std::string& element : value.elements) ShortString(element);
        Byte(0);
        break;
      case ValueCode::List:
        for (const FormValue& element : value.list) Value(element);
        Byte(0);
        break;
      case ValueCode::Collection:
        for (const FormCollectionItem& item : value.items) {
          for (const FormValue& index : item.index) Value(index);
          Byte(static_cast<uint8_t>(ValueCode::List));
          Properties(item.properties);
        }
        Byte(0);
        break;
    }
  }

  void LongBytes(const std::string& bytes, size_t count) {
    if (count > 0xFFFFFFFFu) throw EWriteError(msg::kStreamWriteError);
    Little(count, 4);
    Raw(bytes.data(), bytes.size());
  }
  void Little(uint64_t value, int width) {
    uint8_t bytes[8];
    for (int i = 0; i < width; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    Raw(bytes, static_cast<size_t>(width));
  }
  void ShortString(const std::string& text) {
    if (text.size() > 255) throw EWriteError(msg::kStreamWriteError);
    Byte(static_cast<uint8_t>(text.size()));
    Raw(text.data(), text.size());
  }
  void Byte(uint8_t byte) { Raw(&byte, 1); }
  void Raw(const void* data, size_t size) { out_.WriteBuffer(data, size); }

  TMemoryStream out_;
};

}  // namespace

FormObject ParseFormTree(const uint8_t* data, size_t size, size_t* bytesRead) {
  return TreeParser(data, size).Parse(bytesRead);
}

std::vector<uint8_t> WriteFormTree(const FormObject& root) { return TreeWriter().Write(root); }
