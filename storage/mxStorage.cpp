// The storage component, its item collection and the stored-item codec.
#include "storage/mxStorage.h"

#include <vector>

#include "framework/errors.h"
#include "framework/messages.h"
#include "storage/byte_cursor.h"
#include "storage/payload_messages.h"
#include "storage/zstreams.h"

namespace {

const char* const kCompressionNames[] = {"clNone", "clFastest", "clDefault", "clMax"};
constexpr NameList kCompressionLevels{kCompressionNames, 4};

int ZlibLevel(TCompressionLevel level) {
  switch (level) {
    case TCompressionLevel::clFastest:
      return 1;
    case TCompressionLevel::clMax:
      return 9;
    default:
      return -1;  // zlib's default, 6
  }
}

// The signed 32-bit counts in front of a stored item's bytes and of a file's content.
void WriteInt32(TStream& stream, int32_t value) { ByteWriter(stream).U32(static_cast<uint32_t>(value)); }
int32_t ReadInt32(TStream& stream) { return static_cast<int32_t>(StreamFields(stream).U32()); }

}  // namespace

std::string RatioText(int32_t numerator, int32_t denominator) {
  if (denominator == 0) return "100%";
  // Hundredths of a percent from the exact quotient, rounded half away from
  // zero: printf rounds the binary value half to even, which gives 1/800 as
  // "0.12%" instead of "0.13%", and not the same way on every C library.
  const int64_t num = numerator, den = denominator;
  const bool negative = (num < 0) != (den < 0);
  const int64_t n = (num < 0 ? -num : num) * 10000, d = den < 0 ? -den : den;
  const int64_t hundredths = (2 * n + d) / (2 * d);
  // Fixed point with a full stop: the stored streams and the tools' output use it.
  const int cents = static_cast<int>(hundredths % 100);
  std::string text = negative && hundredths != 0 ? "-" : "";
  text += std::to_string(hundredths / 100);
  text += '.';
  text += static_cast<char>('0' + cents / 10);
  text += static_cast<char>('0' + cents % 10);
  return text + "%";
}

// ---- TmxStoredItem ----

TmxStoredItem::TmxStoredItem(TCollection* collection) : TCollectionItem(collection) {}

TmxStoredItem::~TmxStoredItem() {
  storedData_.Clear();
  if (OnDestroy) OnDestroy(this);
}

bool TmxStoredItem::StorageLoading() const {
  const auto* items = dynamic_cast<const TmxStoredItems*>(Collection());
  return items && items->Storage() && items->Storage()->Loading();
}

void TmxStoredItem::SetName(const std::string& name) {
  if (SameAnsiText(name, name_)) return;
  if (TCollection* collection = Collection()) {
    for (int i = 0; i < collection->Count(); ++i) {
      const auto* other = static_cast<const TmxStoredItem*>(collection->Item(i));
      if (other != this && SameAnsiText(other->Name(), name)) throw Exception(msg::kDuplicateItemName);
    }
  }
  name_ = name;
  Changed();
}

void TmxStoredItem::SetFileName(const std::string& fileName) {
  if (StorageLoading()) fileName_ = fileName;
}

void TmxStoredItem::SetFileSize(int32_t fileSize) {
  if (StorageLoading()) fileSize_ = fileSize;
}

int32_t TmxStoredItem::Size() const { return static_cast<int32_t>(static_cast<uint32_t>(storedData_.Size())); }

std::string TmxStoredItem::Ratio() const { return RatioText(Size(), fileSize_); }

void TmxStoredItem::SetCompression(TCompressionLevel level) {
  if (StorageLoading()) {
    compression_ = level;
    return;
  }
  if (level == compression_) return;
  TMemoryStream decoded;
  SaveToStream(&decoded);
  compression_ = level;
  LoadFromStream(&decoded);
}

void TmxStoredItem::LoadFromStream(TStream* stream) {
  storedData_.Clear();
  if (!stream || stream->Size() == 0) return;
  stream->SetPosition(0);
  if (OnBeforeLoad) OnBeforeLoad(this, stream);
  if (compression_ != TCompressionLevel::clNone) {
    TCompressionStream encoder(ZlibLevel(compression_), storedData_);
    const int32_t length = static_cast<int32_t>(static_cast<uint32_t>(stream->Size()));
    WriteInt32(encoder, length);
    if (length > 0) encoder.CopyFrom(*stream, length);
    fileSize_ = length;
    encoder.Finish();
  } else {
    storedData_.CopyFrom(*stream, 0);
  }
  if (OnAfterLoad) OnAfterLoad(this);
}

void TmxStoredItem::SaveToStream(TStream* stream) {
  if (!stream) return;
  storedData_.SetPosition(0);
  if (OnBeforeSave) OnBeforeSave(this, stream);
  if (compression_ != TCompressionLevel::clNone && storedData_.Size() > 0) {
    Decode(*stream);
  } else if (storedData_.Size() > 0) {
    stream->CopyFrom(storedData_, 0);
  }
  if (OnAfterSave) OnAfterSave(this);
}

int32_t TmxStoredItem::Decode(TStream& target) const {
  TDecompressionStream decoder(storedData_.Memory(), static_cast<size_t>(storedData_.Size()));
  const int32_t length = ReadInt32(decoder);
  // A negative length cannot describe a file: the stream is damaged.
  if (length < 0) throw EReadError(msg::kStreamReadError);
  if (length != 0) target.CopyFrom(decoder, length);
  // The trailer's checksum is verified too, so a damaged stream that still
  // inflates to the right length is not written out as a good file.
  decoder.VerifyEnd();
  return length;
}

void TmxStoredItem::Verify() const {
  if (storedData_.Size() == 0) {
    if (fileSize_ != 0) throw EReadError(Format(msg::kStoredItemEmpty, fileSize_));
    return;
  }
  // Raw bytes carry nothing to check them by.
  if (compression_ == TCompressionLevel::clNone) return;
  TDiscardStream nowhere;
  const int32_t length = Decode(nowhere);
  if (length != fileSize_) throw EReadError(Format(msg::kStoredLengthMismatch, length, fileSize_));
}

void TmxStoredItem::ExtractToFile(const std::string& path, FileReplacer& files) {
  // Written beside the target and moved over it once complete: a failed
  // extraction (a full disk, a damaged stream, a target in use) leaves the
  // old file, or none, never a truncated program at an install path.
  std::unique_ptr<TReplacementFile> file = files.CreateReplacement(path);
  SaveToStream(file.get());
  file->Commit();
}

void TmxStoredItem::ReadStoredItem(TStream& stream) {
  storedData_.Clear();
  const int32_t count = ReadInt32(stream);
  if (count < 0) throw EReadError(msg::kStreamReadError);
  storedData_.LoadFrom(stream, static_cast<size_t>(count));
}

void TmxStoredItem::WriteStoredItem(TStream& stream) {
  storedData_.SetPosition(0);
  const int32_t count = Size();
  WriteInt32(stream, count);
  if (count > 0) stream.CopyFrom(storedData_, count);
}

void TmxStoredItem::AssignTo(TPersistent& dest) const {
  if (auto* item = dynamic_cast<TmxStoredItem*>(&dest)) {
    // An item assigned to itself already holds what it would copy.
    if (item == this) return;
    item->tag_ = tag_;
    item->storedData_.Assign(storedData_.Memory(), static_cast<size_t>(storedData_.Size()));
    return;
  }
  TCollectionItem::AssignTo(dest);
}

bool TmxStoredItem::ReadProperty(const std::string& name, ValueReader& value) {
  if (SameText(name, "OnCreate")) {
    OnCreate = value.ReadNotifyEvent();
  } else if (SameText(name, "OnDestroy")) {
    OnDestroy = value.ReadNotifyEvent();
  } else if (SameText(name, "OnBeforeLoad") || SameText(name, "OnBeforeSave")) {
    value.ReadUnboundEvent();
  } else if (SameText(name, "OnAfterLoad")) {
    OnAfterLoad = value.ReadNotifyEvent();
  } else if (SameText(name, "OnAfterSave")) {
    OnAfterSave = value.ReadNotifyEvent();
  } else if (SameText(name, "Compression")) {
    SetCompression(static_cast<TCompressionLevel>(value.ReadEnum(kCompressionLevels)));
  } else if (SameText(name, "Tag")) {
    tag_ = value.ReadInteger();
  } else if (SameText(name, "Name")) {
    SetName(value.ReadString());
  } else if (SameText(name, "FileName")) {
    SetFileName(value.ReadString());
  } else if (SameText(name, "FileSize")) {
    SetFileSize(value.ReadInteger());
  } else if (SameText(name, "Size")) {
    value.ReadInteger();  // computed from the stored bytes
  } else if (SameText(name, "Ratio")) {
    value.ReadString();  // computed
  } else {
    return false;
  }
  return true;
}

ObjectProperty TmxStoredItem::FindObjectProperty(const std::string& name) {
  // Every declared property of an item holds a plain value.
  return PlainOr(name,
                 {"OnCreate", "OnDestroy", "OnBeforeLoad", "OnBeforeSave", "OnAfterLoad", "OnAfterSave", "Compression",
                  "Tag", "Name", "FileName", "FileSize", "Size", "Ratio"},
                 TCollectionItem::FindObjectProperty(name));
}

bool TmxStoredItem::ReadComputedProperty(const std::string& name, ValueReader& value) {
  if (!SameText(name, "StoredItem")) return false;
  value.ReadBinary([this](TStream& stream) { ReadStoredItem(stream); });
  return true;
}

void TmxStoredItem::WriteProperties(ValueWriter& out) const {
  // Event handlers are bound in memory only; no stored form names any here.
  if (compression_ != TCompressionLevel::clDefault)
    out.WriteIdent("Compression", kCompressionNames[static_cast<int>(compression_)]);
  out.WriteInteger("Tag", tag_);
  out.WriteString("Name", name_);
  out.WriteString("FileName", fileName_);
  out.WriteInteger("FileSize", fileSize_);
  out.WriteInteger("Size", Size());
  out.WriteString("Ratio", Ratio());
  if (HasStoredData()) {
    auto* self = const_cast<TmxStoredItem*>(this);  // writing moves StoredData's position only
    out.WriteBinary("StoredItem", [self](TStream& stream) { self->WriteStoredItem(stream); });
  }
}

// ---- TmxStoredItems ----

TmxStoredItems::TmxStoredItems(TmxStorage* owner)
    : TCollection([](TCollection* c) { return std::make_unique<TmxStoredItem>(c); }), owner_(owner) {}

TPersistent* TmxStoredItems::GetOwner() const { return owner_; }

std::string TmxStoredItems::GetAttr(int index) const { return index == 0 ? "Name" : std::string(); }

std::string TmxStoredItems::GetItemAttr(int index, int itemIndex) const {
  return index == 0 ? Items(itemIndex)->Name() : std::string();
}

void TmxStoredItems::SetItemName(TCollectionItem* item) {
  for (int n = 1;; ++n) {
    const std::string candidate = Format("mxStoredItem%d", n);
    bool used = false;
    for (int i = 0; i < Count() && !used; ++i) {
      const TCollectionItem* other = Item(i);
      used = other != item && SameText(static_cast<const TmxStoredItem*>(other)->Name(), candidate);
    }
    if (!used) {
      static_cast<TmxStoredItem*>(item)->SetName(candidate);
      return;
    }
  }
}

// ---- TmxStorage ----

TmxStorage::TmxStorage(TComponent* owner)
    : TComponent(owner), packedVersion_(0x0100), storedItems_(new TmxStoredItems(this)) {}

TmxStorage::~TmxStorage() { delete storedItems_; }

int32_t TmxStorage::OriginalSize() const {
  uint32_t sum = 0;  // 32-bit wrap-around, as the stored counts are 32-bit
  for (int i = 0; i < storedItems_->Count(); ++i) sum += static_cast<uint32_t>(storedItems_->Items(i)->FileSize());
  return static_cast<int32_t>(sum);
}

int32_t TmxStorage::Size() const {
  uint32_t sum = 0;
  for (int i = 0; i < storedItems_->Count(); ++i) sum += static_cast<uint32_t>(storedItems_->Items(i)->Size());
  return static_cast<int32_t>(sum);
}

std::string TmxStorage::Ratio() const { return RatioText(Size(), OriginalSize()); }

std::string TmxStorage::Version() const { return Format("%d.%d", (packedVersion_ >> 8) & 0xFF, packedVersion_ & 0xFF); }

void TmxStorage::SetDesignPosition(int16_t left, int16_t top) {
  designInfo_ =
      static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(top)) << 16 | static_cast<uint16_t>(left));
}

bool TmxStorage::ReadProperty(const std::string& name, ValueReader& value) {
  if (SameText(name, "OriginalSize") || SameText(name, "Size")) {
    value.ReadInteger();  // computed from the items
  } else if (SameText(name, "Ratio") || SameText(name, "Version")) {
    value.ReadString();  // computed; the version is the component's own
  } else if (SameText(name, "StoredItems")) {
    value.ReadCollection(*storedItems_);
  } else if (SameText(name, "OnExtractError") || SameText(name, "OnBeforeExtract") ||
             SameText(name, "OnAfterExtract")) {
    value.ReadUnboundEvent();
  } else {
    return TComponent::ReadProperty(name, value);
  }
  return true;
}

ObjectProperty TmxStorage::FindObjectProperty(const std::string& name) {
  if (SameText(name, "StoredItems")) return {ObjectProperty::Kind::Object, storedItems_};
  return PlainOr(name,
                 {"OriginalSize", "Ratio", "Size", "Version", "OnExtractError", "OnBeforeExtract", "OnAfterExtract"},
                 TComponent::FindObjectProperty(name));
}

bool TmxStorage::ReadComputedProperty(const std::string& name, ValueReader& value) {
  if (SameText(name, "Left")) {
    designInfo_ = static_cast<int32_t>((static_cast<uint32_t>(designInfo_) & 0xFFFF0000u) |
                                       (static_cast<uint32_t>(value.ReadInteger()) & 0xFFFFu));
  } else if (SameText(name, "Top")) {
    designInfo_ = static_cast<int32_t>((static_cast<uint32_t>(designInfo_) & 0xFFFFu) |
                                       static_cast<uint32_t>(value.ReadInteger()) << 16);
  } else {
    return false;
  }
  return true;
}

void TmxStorage::WriteProperties(ValueWriter& out) const {
  if (Tag() != 0) out.WriteInteger("Tag", Tag());
  out.WriteInteger("OriginalSize", OriginalSize());
  out.WriteString("Ratio", Ratio());
  out.WriteInteger("Size", Size());
  out.WriteCollection("StoredItems", *storedItems_);
  out.WriteString("Version", Version());
  out.WriteInteger("Left", static_cast<int16_t>(designInfo_ & 0xFFFF));
  out.WriteInteger("Top", static_cast<int16_t>(static_cast<uint32_t>(designInfo_) >> 16));
}
