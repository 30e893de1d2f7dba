// Persistent objects, components and collections.
#include "framework/classes.h"

#include <algorithm>

#include "framework/errors.h"
#include "framework/messages.h"
#include "framework/scope.h"

void TPersistent::Assign(const TPersistent& source) { source.AssignTo(*this); }

void TPersistent::AssignTo(TPersistent& dest) const {
  throw EConvertError(Format(msg::kAssignError, ClassName(), dest.ClassName()));
}

bool TPersistent::ReadProperty(const std::string&, ValueReader&) { return false; }

ObjectProperty TPersistent::FindObjectProperty(const std::string&) { return {}; }

ObjectProperty PlainOr(const std::string& name, std::initializer_list<const char*> plain, ObjectProperty inherited) {
  for (const char* candidate : plain)
    if (SameText(name, candidate)) return {ObjectProperty::Kind::NotAnObject, nullptr};
  return inherited;
}

bool TPersistent::ReadComputedProperty(const std::string&, ValueReader&) { return false; }

void TPersistent::WriteProperties(ValueWriter&) const {}

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_) owner_->InsertComponent(this);
}

TComponent::~TComponent() {
  // Owned components go first, newest first, each leaving this list as it goes.
  while (!components_.empty()) delete components_.back();
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::EndLoading() {
  loading_ = false;
  Loaded();
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  for (TComponent* component : components_)
    if (SameText(component->Name(), name)) return component;
  return nullptr;
}

void TComponent::ReorderComponents(const std::vector<TComponent*>& order) {
  // Only places that owned components hold are filled again, each once: the
  // list stays the same components whatever `order` names.
  std::vector<size_t> places;
  std::vector<TComponent*> placed;
  for (TComponent* component : order) {
    const auto at = std::find(components_.begin(), components_.end(), component);
    if (at == components_.end() || std::find(placed.begin(), placed.end(), component) != placed.end()) continue;
    places.push_back(static_cast<size_t>(at - components_.begin()));
    placed.push_back(component);
  }
  std::sort(places.begin(), places.end());
  for (size_t i = 0; i < places.size(); ++i) components_[places[i]] = placed[i];
}

std::unique_ptr<TComponent> TComponent::CreateChild(const std::string&) { return nullptr; }

TNotifyEvent TComponent::FindNotifyHandler(const std::string&) { return nullptr; }

void TComponent::ChildCreated(TComponent*, TComponent*) {}

bool TComponent::ReadProperty(const std::string& name, ValueReader& value) {
  if (SameText(name, "Tag")) {
    tag_ = value.ReadInteger();
    return true;
  }
  return false;
}

ObjectProperty TComponent::FindObjectProperty(const std::string& name) {
  if (SameText(name, "Tag")) return {ObjectProperty::Kind::NotAnObject, nullptr};
  return TPersistent::FindObjectProperty(name);
}

void TComponent::InsertComponent(TComponent* component) { components_.push_back(component); }

void TComponent::RemoveComponent(TComponent* component) {
  components_.erase(std::remove(components_.begin(), components_.end(), component), components_.end());
}

int TCollectionItem::Index() const {
  if (!collection_) return -1;
  for (int i = 0; i < collection_->Count(); ++i)
    if (collection_->Item(i) == this) return i;
  return -1;
}

void TCollectionItem::Changed() {
  if (collection_) collection_->Changed(this);
}

TCollection::~TCollection() { Clear(); }

TCollectionItem* TCollection::Item(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(msg::kListIndexError, index));
  return items_[static_cast<size_t>(index)].get();
}

TCollectionItem* TCollection::Add() {
  items_.push_back(factory_(this));
  TCollectionItem* item = items_.back().get();
  SetItemName(item);
  Changed(nullptr);
  return item;
}

void TCollection::Clear() {
  if (items_.empty()) return;
  BeginUpdate();
  while (!items_.empty()) {
    std::unique_ptr<TCollectionItem> item = std::move(items_.back());
    items_.pop_back();
    item->collection_ = nullptr;
    item.reset();
  }
  EndUpdate();
}

void TCollection::Assign(const TPersistent& source) {
  const auto* other = dynamic_cast<const TCollection*>(&source);
  if (!other) {
    TPersistent::Assign(source);
    return;
  }
  // Clearing first would leave nothing to copy: a collection assigned to
  // itself keeps its items.
  if (other == this) return;
  BeginUpdate();
  ScopeGuard endUpdate([this] { EndUpdate(); });
  Clear();
  for (int i = 0; i < other->Count(); ++i) Add()->Assign(*other->Item(i));
}

void TCollection::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) Changed(nullptr);
}

void TCollection::Changed(TCollectionItem* item) {
  if (updateCount_ == 0) Update(item);
}
