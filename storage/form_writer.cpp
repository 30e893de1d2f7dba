// The form-stream writer: a ValueWriter that appends each value in its code.
#include "storage/form_writer.h"

#include <string>

#include "framework/errors.h"
#include "framework/messages.h"
#include "framework/streams.h"
#include "storage/form_stream.h"

namespace {

class Writer : public ValueWriter {
 public:
  std::vector<uint8_t> WriteRoot(const TComponent& root) {
    Raw(kFormSignature, 4);
    WriteObject(root);
    return std::vector<uint8_t>(out_.Memory(), out_.Memory() + out_.Size());
  }

  void WriteInteger(const std::string& name, int32_t value) override {
    ShortString(name);
    Integer(value);
  }
  void WriteString(const std::string& name, const std::string& value) override {
    ShortString(name);
    if (value.size() < 256) {
      Code(ValueCode::String);
      ShortString(value);
    } else {
      Code(ValueCode::LString);
      Length(value.size());
      Raw(value.data(), value.size());
    }
  }
  void WriteIdent(const std::string& name, const std::string& value) override {
    ShortString(name);
    Code(ValueCode::Ident);
    ShortString(value);
  }
  void WriteBoolean(const std::string& name, bool value) override {
    ShortString(name);
    Code(value ? ValueCode::True : ValueCode::False);
  }
  void WriteSet(const std::string& name, const std::vector<std::string>& elements) override {
    ShortString(name);
    Code(ValueCode::Set);
    for (const std::string& element : elements) ShortString(element);
    Byte(0);
  }
  void WriteCollection(const std::string& name, const TCollection& collection) override {
    ShortString(name);
    Code(ValueCode::Collection);
    for (int i = 0; i < collection.Count(); ++i) {
      Code(ValueCode::List);  // item start
      collection.Item(i)->WriteProperties(*this);
      Byte(0);
    }
    Byte(0);
  }
  void WriteBinary(const std::string& name, const std::function<void(TStream&)>& writer) override {
    ShortString(name);
    Code(ValueCode::Binary);
    const int64_t lengthAt = out_.Position();
    Length(0);
    const int64_t start = out_.Position();
    writer(out_);
    const int64_t end = out_.Position();
    out_.SetPosition(lengthAt);
    Length(static_cast<size_t>(end - start));
    out_.SetPosition(end);
  }

 private:
  void WriteObject(const TComponent& component) {
    ShortString(component.ClassName());
    ShortString(component.Name());
    component.WriteProperties(*this);
    Byte(0);
    for (size_t i = 0; i < component.ComponentCount(); ++i) WriteObject(*component.Component(i));
    Byte(0);
  }

  void Integer(int32_t value) {
    if (value >= -128 && value <= 127) {
      Code(ValueCode::Int8);
      Byte(static_cast<uint8_t>(value));
    } else if (value >= -32768 && value <= 32767) {
      Code(ValueCode::Int16);
      const uint16_t v = static_cast<uint16_t>(value);
      const uint8_t bytes[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
      Raw(bytes, 2);
    } else {
      Code(ValueCode::Int32);
      Length(static_cast<uint32_t>(value));
    }
  }
  void Length(size_t value) {
    if (value > 0xFFFFFFFFu) throw EWriteError(msg::kStreamWriteError);
    const uint32_t v = static_cast<uint32_t>(value);
    const uint8_t bytes[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                              static_cast<uint8_t>(v >> 24)};
    Raw(bytes, 4);
  }
  void ShortString(const std::string& text) {
    if (text.size() > 255) throw EWriteError(msg::kStreamWriteError);
    Byte(static_cast<uint8_t>(text.size()));
    Raw(text.data(), text.size());
  }
  void Code(ValueCode code) { Byte(static_cast<uint8_t>(code)); }
  void Byte(uint8_t byte) { Raw(&byte, 1); }
  void Raw(const void* data, size_t size) { out_.WriteBuffer(data, size); }

  TMemoryStream out_;
};

}  // namespace

std::vector<uint8_t> WriteFormStream(const TComponent& root) { return Writer().WriteRoot(root); }
