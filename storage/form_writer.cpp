// The form-stream writer: a ValueWriter that appends each value in its code.
#include "storage/form_writer.h"

#include <string>

#include "framework/streams.h"
#include "storage/form_stream.h"

namespace {

class Writer : public ValueWriter {
 public:
  std::vector<uint8_t> WriteRoot(const TComponent& root) {
    out_.Signature();
    WriteObject(root);
    return std::vector<uint8_t>(stream_.Memory(), stream_.Memory() + stream_.Size());
  }

  void WriteInteger(const std::string& name, int32_t value) override {
    out_.ShortString(name);
    out_.IntegerValue(NarrowestIntegerCode(value), value);
  }
  void WriteString(const std::string& name, const std::string& value) override {
    out_.ShortString(name);
    out_.FlatValue(value.size() < 256 ? ValueCode::String : ValueCode::LString, value);
  }
  void WriteIdent(const std::string& name, const std::string& value) override {
    out_.ShortString(name);
    out_.FlatValue(ValueCode::Ident, value);
  }
  void WriteBoolean(const std::string& name, bool value) override {
    out_.ShortString(name);
    out_.Code(value ? ValueCode::True : ValueCode::False);
  }
  void WriteSet(const std::string& name, const std::vector<std::string>& elements) override {
    out_.ShortString(name);
    out_.Code(ValueCode::Set);
    for (const std::string& element : elements) out_.ShortString(element);
    out_.End();
  }
  void WriteCollection(const std::string& name, const TCollection& collection) override {
    out_.ShortString(name);
    out_.Code(ValueCode::Collection);
    for (int i = 0; i < collection.Count(); ++i) {
      out_.U8(kItemStart);
      collection.Item(i)->WriteProperties(*this);
      out_.End();
    }
    out_.End();
  }
  void WriteBinary(const std::string& name, const std::function<void(TStream&)>& writer) override {
    out_.ShortString(name);
    out_.Code(ValueCode::Binary);
    // The length goes in front of bytes the property writes itself: patched once they are in.
    const int64_t lengthAt = stream_.Position();
    out_.Count(0);
    const int64_t start = stream_.Position();
    writer(stream_);
    const int64_t end = stream_.Position();
    stream_.SetPosition(lengthAt);
    out_.Count(static_cast<uint64_t>(end - start));
    stream_.SetPosition(end);
  }

 private:
  void WriteObject(const TComponent& component) {
    out_.ShortString(component.ClassName());
    out_.ShortString(component.Name());
    component.WriteProperties(*this);
    out_.End();
    for (size_t i = 0; i < component.ComponentCount(); ++i) WriteObject(*component.Component(i));
    out_.End();
  }

  TMemoryStream stream_;
  FormEncoder out_{stream_};
};

}  // namespace

std::vector<uint8_t> WriteFormStream(const TComponent& root) { return Writer().WriteRoot(root); }
