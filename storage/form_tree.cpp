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
[[noreturn]] void InvalidValue() { throw EReadError(msg::kInvalidPropertyValue); }

// Appends an element to `values` when there is a tree to build; null otherwise.
template <typename T>
T* NewElement(std::vector<T>* values) {
  return values ? &values->emplace_back() : nullptr;
}

// A property list: records up to the end marker, each a name and one value.
void ReadProperties(ByteCursor& in, int depth, std::vector<FormProperty>* properties) {
  while (in.Peek() != kEndMarker) {
    FormProperty* property = NewElement(properties);
    std::string name = in.ShortString();
    if (property) property->name = std::move(name);
    ReadFormValue(in, depth, property ? &property->value.emplace_back() : nullptr);
  }
  in.U8();
}

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
        ReadFormValue(in_, 0, &object.position.emplace_back());
      }
    }
    object.className = in_.ShortString();
    object.name = in_.ShortString();
    ReadProperties(in_, 0, &object.properties);
    while (in_.Peek() != kEndMarker) object.children.push_back(Object(depth + 1));
    in_.U8();
    return object;
  }

  ByteCursor in_;
};

}  // namespace

void ReadFormValue(ByteCursor& in, int depth, FormValue* value) {
  if (depth >= kMaxValueDepth) InvalidFormat();
  const ValueCodeInfo* code = FindValueCode(in.U8());
  if (!code) InvalidValue();  // a byte this format has no code for
  if (value) value->code = code->code;
  switch (code->shape) {
    case PayloadShape::Integer: {
      const int64_t integer = in.Signed(code->width);
      if (value) value->integer = integer;
      return;
    }
    case PayloadShape::Set:  // short strings up to the empty one
      for (std::string element = in.ShortString(); !element.empty(); element = in.ShortString())
        if (value) value->elements.push_back(std::move(element));
      return;
    case PayloadShape::List:
      while (in.Peek() != kEndMarker) ReadFormValue(in, depth + 1, NewElement(value ? &value->list : nullptr));
      in.U8();
      return;
    case PayloadShape::Collection:
      while (in.Peek() != kEndMarker) {
        FormCollectionItem* item = NewElement(value ? &value->items : nullptr);
        if (IsInt32Code(in.Peek())) ReadFormValue(in, depth + 1, NewElement(item ? &item->index : nullptr));
        if (in.U8() != kItemStart) InvalidValue();
        ReadProperties(in, depth + 1, item ? &item->properties : nullptr);
      }
      in.U8();
      return;
    default: {
      const ByteRange payload = TakeFlatPayload(in, *code);
      if (value) value->bytes.assign(reinterpret_cast<const char*>(payload.data), payload.size);
    }
  }
}

namespace {

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
