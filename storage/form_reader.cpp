// The form-stream reader: one bounded cursor over the stream, each property
// value taken through ValueReader by the object that owns the property.
#include "storage/form_reader.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/errors.h"
#include "framework/messages.h"
#include "framework/scope.h"
#include "framework/streams.h"
#include "storage/byte_cursor.h"
#include "storage/form_stream.h"
#include "storage/form_tree.h"

namespace {

[[noreturn]] void InvalidValue() { throw EReadError(msg::kInvalidPropertyValue); }
[[noreturn]] void InvalidFormat() { throw EReadError(msg::kInvalidStreamFormat); }

class Reader : public ValueReader {
 public:
  Reader(const uint8_t* data, size_t size, std::shared_ptr<const void> owner, TComponent& root)
      : in_(data, size, FailStreamRead), owner_(std::move(owner)), root_(root) {}

  size_t ReadRoot() {
    const uint8_t* signature = in_.Take(4);
    if (std::string(reinterpret_cast<const char*>(signature), 4) != kFormSignature) InvalidFormat();
    ReadPrefix();
    in_.ShortString();  // the class that chose the resource is the root's; not compared
    root_.SetName(in_.ShortString());
    root_.BeginLoading();
    loaded_.push_back(&root_);
    ReadPropertyList(root_, root_.Name());
    ReadChildren(root_, 1);
    // Loading ends once the whole stream is in: root first, then in reading order.
    for (TComponent* component : loaded_) component->EndLoading();
    return in_.offset();
  }

  // ValueReader: one call per property value.
  int32_t ReadInteger(const IdentEntry* idents, size_t identCount) override {
    const size_t start = BeginValue();
    const uint8_t code = in_.U8();
    if (code == static_cast<uint8_t>(ValueCode::Ident) && idents) {
      const std::string ident = in_.ShortString();
      for (size_t i = 0; i < identCount; ++i)
        if (SameText(ident, idents[i].name)) return idents[i].value;
      InvalidValue();
    }
    int32_t value = 0;
    if (!IntegerPayload(code, value)) Reject(start);
    return value;
  }

  std::string ReadString() override {
    const size_t start = BeginValue();
    switch (static_cast<ValueCode>(in_.U8())) {
      case ValueCode::String:
        return in_.ShortString();
      case ValueCode::LString:
        return in_.Bytes(in_.U32());
      case ValueCode::Utf8String:
        return Utf8ToAnsi(in_.Bytes(in_.U32()));
      case ValueCode::WString: {
        const uint32_t units = in_.U32();
        return Utf16ToAnsi(in_.TakeUnits(units, 2), units);
      }
      default:
        Reject(start);
    }
  }

  int ReadEnum(NameList names) override {
    const size_t start = BeginValue();
    std::string ident;
    switch (static_cast<ValueCode>(in_.U8())) {
      case ValueCode::Ident:
        ident = in_.ShortString();
        break;
      case ValueCode::False:
        ident = "False";
        break;
      case ValueCode::True:
        ident = "True";
        break;
      case ValueCode::Null:
        ident = "Null";
        break;
      case ValueCode::Nil:
        ident = "nil";
        break;
      default:
        Reject(start);
    }
    for (size_t i = 0; i < names.count; ++i)
      if (SameText(ident, names.names[i])) return static_cast<int>(i);
    InvalidValue();
  }

  bool ReadBoolean() override {
    static const char* const kBooleanNames[] = {"False", "True"};
    return ReadEnum({kBooleanNames, 2}) == 1;
  }

  uint32_t ReadSet(NameList names) override {
    const size_t start = BeginValue();
    if (in_.U8() != static_cast<uint8_t>(ValueCode::Set)) Reject(start);
    uint32_t bits = 0;
    for (;;) {
      const std::string element = in_.ShortString();
      if (element.empty()) return bits;
      for (size_t i = 0; i < names.count && i < 32; ++i)
        if (SameText(element, names.names[i])) bits |= 1u << i;  // unknown elements are ignored
    }
  }

  void ReadCollection(TCollection& collection) override {
    const size_t start = BeginValue();
    if (in_.U8() != static_cast<uint8_t>(ValueCode::Collection)) Reject(start);
    DepthGuard guard(valueDepth_);
    collection.BeginUpdate();
    ScopeGuard endUpdate([&collection] { collection.EndUpdate(); });
    if (in_.Peek() != kEndMarker) collection.Clear();
    while (in_.Peek() != kEndMarker) {
      int32_t dropped = 0;
      const uint8_t code = in_.Peek();
      if (IsInt32Code(code)) {
        in_.U8();
        IntegerPayload(code, dropped);
      }
      TCollectionItem* item = collection.Add();
      if (in_.Peek() != kItemStart) Reject(in_.offset());
      in_.U8();
      // An item has no name: its class name stands in error messages.
      ReadPropertyList(*item, item->ClassName());
    }
    in_.U8();
  }

  TNotifyEvent ReadNotifyEvent() override {
    const size_t start = BeginValue();
    switch (static_cast<ValueCode>(in_.U8())) {
      case ValueCode::Nil:
        return nullptr;
      case ValueCode::Ident: {
        TNotifyEvent handler = root_.FindNotifyHandler(in_.ShortString());
        if (!handler) InvalidValue();
        return handler;
      }
      default:
        Reject(start);
    }
  }

  void ReadUnboundEvent() override {
    const size_t start = BeginValue();
    switch (static_cast<ValueCode>(in_.U8())) {
      case ValueCode::Nil:
        return;
      case ValueCode::Ident:
        in_.ShortString();
        InvalidValue();  // nothing here has handlers of this type
      default:
        Reject(start);
    }
  }

  void ReadBinary(const std::function<void(TStream&)>& reader) override {
    const size_t start = BeginValue();
    if (in_.U8() != static_cast<uint8_t>(ValueCode::Binary)) Reject(start);
    const uint32_t length = in_.U32();
    // Handed over in place: the property copies what it keeps, once, or
    // shares it with the owner of the bytes when there is one.
    TReadOnlyMemoryStream block(in_.Take(length), length, owner_);
    reader(block);
  }

  void Skip() override {
    BeginValue();
    SkipValue();
  }

 private:
  struct DepthGuard {
    explicit DepthGuard(int& depth) : depth_(depth) {
      if (++depth_ > kMaxValueDepth) {
        --depth_;
        InvalidFormat();
      }
    }
    ~DepthGuard() { --depth_; }
    int& depth_;
  };

  // A value may be taken once per property record.
  size_t BeginValue() {
    if (!valuePending_) InvalidValue();
    valuePending_ = false;
    return in_.offset();
  }

  // Passes over the value at `start` and fails: the code is one the property does not take.
  [[noreturn]] void Reject(size_t start) {
    in_.Rewind(start);
    SkipValue();
    InvalidValue();
  }

  bool IntegerPayload(uint8_t code, int32_t& value) {
    if (!IsInt32Code(code)) return false;
    value = static_cast<int32_t>(in_.Signed(kValueCodes[code].width));
    return true;
  }

  // Passes over the value at the cursor, by the grammar the generic tree reads.
  void SkipValue() { ReadFormValue(in_, valueDepth_, nullptr); }

  struct Prefix {
    uint8_t flags = 0;
    int32_t position = 0;  // with kFlagChildPos
  };

  Prefix ReadPrefix() {
    Prefix prefix;
    if ((in_.Peek() & kPrefixMask) != kPrefixMask) return prefix;
    prefix.flags = in_.U8() & kFlagsMask;
    if ((prefix.flags & kFlagChildPos) && !IntegerPayload(in_.U8(), prefix.position)) InvalidValue();
    return prefix;
  }

  // Where the child-position flag puts children among their parent's: the
  // children this stream gives the parent, in the order the root keeps its
  // components (the list the root's ChildCreated builds). A position counts
  // in the whole list, so the positions are applied once it is complete, in
  // reading order: a child that gives a position an earlier one gave takes
  // it, and the earlier one makes room. A position past the end puts the
  // child last and a negative one first: the order decides only how controls
  // are created and tabbed through, which is no reason to refuse a stream.
  void PlaceChildren(std::vector<TComponent*>& children, const std::vector<std::pair<TComponent*, int32_t>>& moves) {
    for (const auto& [child, position] : moves) {
      children.erase(std::find(children.begin(), children.end(), child));
      const size_t at = std::min(static_cast<size_t>(std::max(position, 0)), children.size());
      children.insert(children.begin() + static_cast<std::ptrdiff_t>(at), child);
    }
    root_.ReorderComponents(children);
  }

  void ReadPropertyList(TPersistent& object, const std::string& objectName) {
    while (in_.Peek() != kEndMarker) ReadPropertyRecord(object, objectName);
    in_.U8();
  }

  void ReadPropertyRecord(TPersistent& object, const std::string& objectName) {
    const std::string name = in_.ShortString();
    try {
      TPersistent* target = &object;
      size_t partStart = 0;
      for (size_t dot = name.find('.'); dot != std::string::npos; dot = name.find('.', partStart)) {
        const std::string part = name.substr(partStart, dot - partStart);
        const ObjectProperty found = target->FindObjectProperty(part);
        if (found.kind != ObjectProperty::Kind::Object || !found.object) {
          SkipValue();
          if (found.kind == ObjectProperty::Kind::Missing)
            throw EReadError(Format(msg::kUnknownProperty, part.c_str()));
          throw EReadError(msg::kInvalidPropertyPath);
        }
        target = found.object;
        partStart = dot + 1;
      }
      const std::string last = name.substr(partStart);
      const size_t start = in_.offset();
      valuePending_ = true;
      const bool taken = target->ReadProperty(last, *this) || target->ReadComputedProperty(last, *this);
      valuePending_ = false;
      if (!taken) {
        SkipValue();
        throw EReadError(Format(msg::kUnknownProperty, last.c_str()));
      }
      // A property that accepts a value without looking at it still passes over it.
      if (in_.offset() == start) SkipValue();
    } catch (const Exception& error) {
      valuePending_ = false;
      throw EReadError(Format(msg::kReadingError, objectName.c_str(), ".", name.c_str(), error.Message().c_str()));
    }
  }

  void ReadChildren(TComponent& parent, int depth) {
    std::vector<TComponent*> children;  // in reading order, each once
    std::vector<std::pair<TComponent*, int32_t>> moves;
    while (in_.Peek() != kEndMarker) {
      if (depth > kMaxObjectDepth) InvalidFormat();
      const Prefix prefix = ReadPrefix();
      const std::string className = in_.ShortString();
      const std::string name = in_.ShortString();
      TComponent* child = (prefix.flags & kFlagInherited) ? root_.FindComponent(name) : nullptr;
      if (child) {
        // Read into again: listed twice, it still has one place.
        if (std::find(children.begin(), children.end(), child) == children.end()) children.push_back(child);
      } else {
        std::unique_ptr<TComponent> created = root_.CreateChild(className);
        if (!created || created->Owner() != &root_)
          throw EClassNotFound(Format(msg::kClassNotFound, className.c_str()));
        child = created.release();  // the root owns it now
        children.push_back(child);
      }
      if (prefix.flags & kFlagChildPos) moves.emplace_back(child, prefix.position);
      child->BeginLoading();
      loaded_.push_back(child);
      child->SetName(name);
      root_.ChildCreated(child, &parent);
      ReadPropertyList(*child, child->Name());
      ReadChildren(*child, depth + 1);
    }
    in_.U8();
    if (!moves.empty()) PlaceChildren(children, moves);
  }

  ByteCursor in_;
  std::shared_ptr<const void> owner_;
  TComponent& root_;
  std::vector<TComponent*> loaded_;
  bool valuePending_ = false;
  int valueDepth_ = 0;
};

}  // namespace

void FormStreamReader::ReadRootComponent(TComponent& root) {
  Reader reader(data_, size_, owner_, root);
  bytesRead_ = reader.ReadRoot();
}
