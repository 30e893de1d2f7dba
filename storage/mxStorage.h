// The storage component: named, compressed files kept in a collection of
// stored items, with their codec (encode, decode, extract to a file).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "framework/classes.h"
#include "framework/streams.h"

enum class TCompressionLevel : uint8_t { clNone = 0, clFastest = 1, clDefault = 2, clMax = 3 };

using TmxStreamEvent = std::function<void(TPersistent* sender, TStream* stream)>;
using TmxExtractError = std::function<void(TPersistent* sender, std::string path, std::string fileName)>;
using TmxBeforeExtract =
    std::function<void(TPersistent* sender, std::string& path, std::string& fileName, bool& canExtract)>;
using TmxAfterExtract = std::function<void(TPersistent* sender, std::string path, std::string fileName)>;

class TmxStorage;
class TmxStoredItems;

class TmxStoredItem : public TCollectionItem {
 public:
  explicit TmxStoredItem(TCollection* collection);
  ~TmxStoredItem() override;
  const char* ClassName() const override { return "TmxStoredItem"; }

  int32_t Tag() const { return tag_; }
  void SetTag(int32_t tag) { tag_ = tag; }
  const std::string& Name() const { return name_; }
  // Rename rule: a case-only change is ignored; a name another item has fails
  // with "Duplicated stored item name".
  void SetName(const std::string& name);
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& fileName);  // kept only while the storage loads
  int32_t FileSize() const { return fileSize_; }
  void SetFileSize(int32_t fileSize);  // kept only while the storage loads
  int32_t Size() const;                // bytes held in StoredData
  std::string Ratio() const;           // Size as a percentage of FileSize
  TCompressionLevel Compression() const { return compression_; }
  // Outside loading, a new level re-encodes the held bytes.
  void SetCompression(TCompressionLevel level);
  const TMemoryStream& StoredData() const { return storedData_; }
  bool HasStoredData() const { return storedData_.Size() > 0; }

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TmxStreamEvent OnBeforeLoad;
  TmxStreamEvent OnBeforeSave;
  TNotifyEvent OnAfterLoad;
  TNotifyEvent OnAfterSave;

  // Encodes the whole of `stream` into StoredData; `stream` may be null.
  void LoadFromStream(TStream* stream);
  // Decodes StoredData at `stream`'s position; `stream` may be null.
  void SaveToStream(TStream* stream);
  // Writes the decoded file at `path` through `files`: into a new file beside
  // it, moved over `path` in one step once complete. On failure `path` keeps
  // what it held (or stays missing) and no other file is left.
  void ExtractToFile(const std::string& path, FileReplacer& files);
  // Decodes the stored bytes to nowhere, streaming as extraction does, and
  // checks what they say of themselves: the zlib stream with its Adler-32
  // trailer and nothing after it, the length in front against FileSize. A
  // check that passes means extraction cannot fail on the item's own bytes.
  // Raises what extraction would meet (ECompressionError "Error", EReadError
  // "Stream read error"), or EReadError naming a mismatch. No event fires.
  void Verify() const;
  // The "StoredItem" value: a 32-bit count and that many stored bytes.
  void ReadStoredItem(TStream& stream);
  void WriteStoredItem(TStream& stream);

  std::string DisplayName() const override { return name_; }
  void SetDisplayName(const std::string& name) override { SetName(name); }

  bool ReadProperty(const std::string& name, ValueReader& value) override;
  ObjectProperty FindObjectProperty(const std::string& name) override;
  bool ReadComputedProperty(const std::string& name, ValueReader& value) override;
  void WriteProperties(ValueWriter& out) const override;

 protected:
  void AssignTo(TPersistent& dest) const override;

 private:
  bool StorageLoading() const;
  // Inflates StoredData into `target`; the length the content declared.
  int32_t Decode(TStream& target) const;

  int32_t tag_ = 0;
  std::string name_;
  std::string fileName_;
  int32_t fileSize_ = 0;
  TMemoryStream storedData_;
  TCompressionLevel compression_ = TCompressionLevel::clDefault;
};

class TmxStoredItems : public TCollection {
 public:
  explicit TmxStoredItems(TmxStorage* owner);
  const char* ClassName() const override { return "TmxStoredItems"; }
  // The item at a 0-based position; "List index out of bounds (%d)" outside.
  TmxStoredItem* Items(int index) const { return static_cast<TmxStoredItem*>(Item(index)); }
  TmxStoredItem* Add() { return static_cast<TmxStoredItem*>(TCollection::Add()); }
  TmxStorage* Storage() const { return owner_; }
  TPersistent* GetOwner() const override;

  int GetAttrCount() const override { return 1; }
  std::string GetAttr(int index) const override;
  std::string GetItemAttr(int index, int itemIndex) const override;

 protected:
  void SetItemName(TCollectionItem* item) override;  // "mxStoredItem%d", smallest free N
  void Update(TCollectionItem*) override {}

 private:
  TmxStorage* owner_;
};

class TmxStorage : public TComponent {
 public:
  explicit TmxStorage(TComponent* owner);
  ~TmxStorage() override;
  const char* ClassName() const override { return "TmxStorage"; }

  TmxStoredItems& StoredItems() { return *storedItems_; }
  const TmxStoredItems& StoredItems() const { return *storedItems_; }
  void SetStoredItems(const TmxStoredItems& items) { storedItems_->Assign(items); }
  int32_t OriginalSize() const;  // sum of the items' FileSize
  int32_t Size() const;          // sum of the items' Size
  std::string Ratio() const;
  std::string Version() const;  // "major.minor" of the packed version
  // The component's design position (Left, Top): no effect at run time.
  int32_t DesignInfo() const { return designInfo_; }
  void SetDesignPosition(int16_t left, int16_t top);

  TmxExtractError OnExtractError;
  TmxBeforeExtract OnBeforeExtract;
  TmxAfterExtract OnAfterExtract;

  bool ReadProperty(const std::string& name, ValueReader& value) override;
  ObjectProperty FindObjectProperty(const std::string& name) override;
  bool ReadComputedProperty(const std::string& name, ValueReader& value) override;
  void WriteProperties(ValueWriter& out) const override;

 private:
  int32_t packedVersion_;
  TmxStoredItems* storedItems_;  // owned; destroyed with its items by the destructor
  int32_t designInfo_ = 0;
};

// Ratio text: numerator / denominator * 100 with two decimals and "%";
// "100%" for a denominator of 0. The decimal separator is always a full stop,
// whatever the locale, so streams and tool output are the same everywhere.
std::string RatioText(int32_t numerator, int32_t denominator);
