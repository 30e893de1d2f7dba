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

namespace {

[[noreturn]] void InvalidFormat() { throw EReadError(msg::kInvalidStreamFormat); }

class TreeParser {
 public:
  TreeParser(const uint8_t* data, size_t size) : in_(data, size, FailStreamRead) {}

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
      object.flags = in_.U8() & kFlagsMask;
      if (*object.flags & kFlagChildPos) {
        if (!IsInt32Code(in_.Peek())) InvalidFormat();
        object.position.push_back(Value(0));
      }
    }
    object.className = in_.ShortString();
    object.name = in_.ShortString();
    object.properties = Properties(0);
    while (in_.Peek() != kEndMarker) object.children.push_back(Object(depth + 1));
    in_.U8();
    return object;
  }

  std::vector<FormProperty> Properties(int depth) {
    std::vector<FormProperty> properties;
    while (in_.Peek() != kEndMarker) {
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
    const ValueCodeInfo* code = FindValueCode(in_.U8());
    if (!code) InvalidFormat();
    value.code = code->code;
    switch (code->shape) {
      case PayloadShape::Integer:
        value.integer = in_.Signed(code->width);
        break;
      case PayloadShape::Set:
        for (std::string element = in_.ShortString(); !element.empty(); element = in_.ShortString())
          value.elements.push_back(std::move(element));
        break;
      case PayloadShape::List:
        while (in_.Peek() != kEndMarker) value.list.push_back(Value(depth + 1));
        in_.U8();
        break;
      case PayloadShape::Collection:
        while (in_.Peek() != kEndMarker) {
          FormCollectionItem item;
          if (IsInt32Code(in_.Peek())) item.index.push_back(Value(depth + 1));
          // The tree keeps what it can write back: an item starts with the item start.
          if (in_.U8() != kItemStart) InvalidFormat();
          item.properties = Properties(depth + 1);
          value.items.push_back(std::move(item));
        }
        in_.U8();
        break;
      default: {
        const PayloadBytes payload = TakeFlatPayload(in_, *code);
        value.bytes.assign(reinterpret_cast<const char*>(payload.data), payload.size);
      }
    }
    return value;
  }

  ByteCursor in_;
};

class TreeWriter {
 public:
  std::vector<uint8_t> Write(const FormObject& root) {
    out_.Signature();
    Object(root);
    return std::vector<uint8_t>(stream_.Memory(), stream_.Memory() + stream_.Size());
  }

 private:
  void Object(const FormObject& object) {
    if (object.flags) {
      out_.U8(static_cast<uint8_t>(kPrefixMask | (*object.flags & kFlagsMask)));
      for (const FormValue& position : object.position) Value(position);
    }
    out_.ShortString(object.className);
    out_.ShortString(object.name);
    Properties(object.properties);
    for (const FormObject& child : object.children) Object(child);
    out_.End();
  }

  void Properties(const std::vector<FormProperty>& properties) {
    for (const FormProperty& property : properties) {
      out_.ShortString(property.name);
      if (property.value.size() != 1) throw EWriteError(msg::kStreamWriteError);
      Value(property.value.front());
    }
    out_.End();
  }

  void Value(const FormValue& value) {
    const ValueCodeInfo* code = FindValueCode(static_cast<uint8_t>(value.code));
    if (!code) throw EWriteError(msg::kStreamWriteError);
    switch (code->shape) {
      case PayloadShape::Integer:
        out_.IntegerValue(value.code, value.integer);
        break;
      case PayloadShape::Set:
        out_.Code(value.code);
        for (const std::string& element : value.elements) out_.ShortString(element);
        out_.End();
        break;
      case PayloadShape::List:
        out_.Code(value.code);
        for (const FormValue& element : value.list) Value(element);
        out_.End();
        break;
      case PayloadShape::Collection:
        out_.Code(value.code);
        for (const FormCollectionItem& item : value.items) {
          for (const FormValue& index : item.index) Value(index);
          out_.U8(kItemStart);
          Properties(item.properties);
        }
        out_.End();
        break;
      default:
        out_.FlatValue(value.code, value.bytes);
    }
  }

  TMemoryStream stream_;
  FormEncoder out_{stream_};
};

}  // namespace

FormObject ParseFormTree(const uint8_t* data, size_t size, size_t* bytesRead) {
  return TreeParser(data, size).Parse(bytesRead);
}

std::vector<uint8_t> WriteFormTree(const FormObject& root) { return TreeWriter().Write(root); }
