// Persistent objects, components, collections and the hooks through which the
// form-stream reader and writer reach an object's properties.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "framework/streams.h"
#include "framework/text_case.h"

class TPersistent;
class TComponent;
class TCollection;
class TCollectionItem;

// An event: a callback bound to the object it runs on; empty when unassigned.
using TNotifyEvent = std::function<void(TPersistent* sender)>;

// A named integer constant an integer property accepts as an identifier
// (colours such as clBtnFace, character sets such as DEFAULT_CHARSET).
struct IdentEntry {
  const char* name;
  int32_t value;
};

// Element or enumeration names, in ordinal order.
struct NameList {
  const char* const* names;
  size_t count;
};

// One property value as the reader meets it. Each Read call takes the value or,
// when its code is one the property type does not take, skips it and raises
// "Invalid property value".
class ValueReader {
 public:
  virtual ~ValueReader() = default;
  virtual int32_t ReadInteger(const IdentEntry* idents = nullptr, size_t identCount = 0) = 0;
  virtual std::string ReadString() = 0;
  virtual int ReadEnum(NameList names) = 0;  // the ordinal
  virtual bool ReadBoolean() = 0;
  virtual uint32_t ReadSet(NameList names) = 0;  // bit n set for element n
  virtual void ReadCollection(TCollection& collection) = 0;
  // nil or the name of a handler of the root.
  virtual TNotifyEvent ReadNotifyEvent() = 0;
  // Event types for which no object here has handlers: only nil is taken.
  virtual void ReadUnboundEvent() = 0;
  // A byte block, handed over as a stream positioned at 0 over exactly its bytes.
  virtual void ReadBinary(const std::function<void(TStream&)>& reader) = 0;
  virtual void Skip() = 0;
};

// The writer's side: properties go out in the order the object emits them.
class ValueWriter {
 public:
  virtual ~ValueWriter() = default;
  virtual void WriteInteger(const std::string& name, int32_t value) = 0;
  virtual void WriteString(const std::string& name, const std::string& value) = 0;
  virtual void WriteIdent(const std::string& name, const std::string& value) = 0;
  virtual void WriteBoolean(const std::string& name, bool value) = 0;
  virtual void WriteSet(const std::string& name, const std::vector<std::string>& elements) = 0;
  virtual void WriteCollection(const std::string& name, const TCollection& collection) = 0;
  virtual void WriteBinary(const std::string& name, const std::function<void(TStream&)>& writer) = 0;
};

// What a dotted property name finds at one of its parts.
struct ObjectProperty {
  enum class Kind { Missing, NotAnObject, Object } kind = Kind::Missing;
  TPersistent* object = nullptr;
};

// A dotted name through one of the `plain` properties is a bad path, not a
// missing property; any other name finds what `inherited` found.
ObjectProperty PlainOr(const std::string& name, std::initializer_list<const char*> plain, ObjectProperty inherited);

class TPersistent {
 public:
  virtual ~TPersistent() = default;
  virtual const char* ClassName() const = 0;

  // Copies from `source`; an object that does not know the source asks it to
  // copy itself, and "Cannot assign a %s to a %s" when neither can.
  virtual void Assign(const TPersistent& source);

  // Form-stream hooks; names compare without regard to ASCII case.
  // Reads a declared property; false when none has that name.
  virtual bool ReadProperty(const std::string& name, ValueReader& value);
  // For a part of a dotted name: the object a declared property holds.
  virtual ObjectProperty FindObjectProperty(const std::string& name);
  // Reads a computed property; false when none has that name.
  virtual bool ReadComputedProperty(const std::string& name, ValueReader& value);
  // Emits declared, then computed, properties in stream order.
  virtual void WriteProperties(ValueWriter& out) const;

 protected:
  virtual void AssignTo(TPersistent& dest) const;
};

// A named object with an owner, a tag and a loading state. An owner destroys
// the components it owns.
class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  const char* ClassName() const override { return "TComponent"; }
  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  virtual void SetName(const std::string& name) { name_ = name; }
  int32_t Tag() const { return tag_; }
  void SetTag(int32_t tag) { tag_ = tag; }

  bool Loading() const { return loading_; }
  void BeginLoading() { loading_ = true; }
  // Ends the loading state and lets the component settle (Loaded).
  void EndLoading();

  size_t ComponentCount() const { return components_.size(); }
  TComponent* Component(size_t index) const { return components_[index]; }
  TComponent* FindComponent(const std::string& name) const;
  // Puts the components of `order` that this one owns into the places they
  // hold in its list, in the order given; the others keep their places.
  void ReorderComponents(const std::vector<TComponent*>& order);

  // The reader's questions to a root: its child classes and its handlers.
  virtual std::unique_ptr<TComponent> CreateChild(const std::string& className);
  virtual TNotifyEvent FindNotifyHandler(const std::string& name);
  // Called for each child the reader creates, after it has its name.
  virtual void ChildCreated(TComponent* child, TComponent* parent);

  bool ReadProperty(const std::string& name, ValueReader& value) override;
  ObjectProperty FindObjectProperty(const std::string& name) override;

 protected:
  virtual void Loaded() {}

 private:
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  TComponent* owner_;
  std::string name_;
  int32_t tag_ = 0;
  bool loading_ = false;
  std::vector<TComponent*> components_;
};

class TCollectionItem : public TPersistent {
 public:
  explicit TCollectionItem(TCollection* collection) : collection_(collection) {}
  ~TCollectionItem() override = default;
  TCollectionItem(const TCollectionItem&) = delete;
  TCollectionItem& operator=(const TCollectionItem&) = delete;

  TCollection* Collection() const { return collection_; }
  int Index() const;
  virtual std::string DisplayName() const { return ClassName(); }
  virtual void SetDisplayName(const std::string&) { Changed(); }

 protected:
  // Reports a change of this item to its collection's update hook.
  void Changed();

 private:
  friend class TCollection;
  TCollection* collection_;
};

// An ordered list of items of one class; it owns them.
class TCollection : public TPersistent {
 public:
  using ItemFactory = std::function<std::unique_ptr<TCollectionItem>(TCollection*)>;
  explicit TCollection(ItemFactory factory) : factory_(std::move(factory)) {}
  ~TCollection() override;
  TCollection(const TCollection&) = delete;
  TCollection& operator=(const TCollection&) = delete;

  const char* ClassName() const override { return "TCollection"; }
  int Count() const { return static_cast<int>(items_.size()); }
  // "List index out of bounds (%d)" outside 0..Count-1.
  TCollectionItem* Item(int index) const;
  // Appends a new item of the item class; the naming hook runs once it is in.
  TCollectionItem* Add();
  void Clear();
  void Assign(const TPersistent& source) override;

  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();

  virtual TPersistent* GetOwner() const { return nullptr; }
  // Design-time attributes for a list display.
  virtual int GetAttrCount() const { return 0; }
  virtual std::string GetAttr(int) const { return std::string(); }
  virtual std::string GetItemAttr(int, int) const { return std::string(); }

 protected:
  friend class TCollectionItem;
  // Naming hook: runs for every new item right after it is appended.
  virtual void SetItemName(TCollectionItem*) {}
  // Update hook: a changed item, or nullptr for the whole collection.
  virtual void Update(TCollectionItem*) {}
  void Changed(TCollectionItem* item);

 private:
  ItemFactory factory_;
  std::vector<std::unique_ptr<TCollectionItem>> items_;
  int updateCount_ = 0;
};
