// Collections: positional access, naming hook, assignment, and the assign error.
#include "framework/classes.h"

#include <gtest/gtest.h>

#include "framework/errors.h"
#include "tests/support/error_matcher.h"

namespace {

class NamedItem : public TCollectionItem {
 public:
  using TCollectionItem::TCollectionItem;
  const char* ClassName() const override { return "NamedItem"; }
  std::string name;
  int value = 0;

 protected:
  void AssignTo(TPersistent& dest) const override {
    if (auto* other = dynamic_cast<NamedItem*>(&dest)) {
      other->value = value;
      return;
    }
    TCollectionItem::AssignTo(dest);
  }
};

class NamingCollection : public TCollection {
 public:
  NamingCollection() : TCollection([](TCollection* c) { return std::make_unique<NamedItem>(c); }) {}
  int updates = 0;

 protected:
  void SetItemName(TCollectionItem* item) override {
    static_cast<NamedItem*>(item)->name = "item" + std::to_string(Count());
  }
  void Update(TCollectionItem*) override { ++updates; }
};

class Plain : public TPersistent {
 public:
  const char* ClassName() const override { return "TPlain"; }
};

TEST(Collection, OutOfRangeIndexCarriesThePosition) {
  NamingCollection c;
  c.Add();
  for (int bad : {-1, 1, 4}) {
    EXPECT_EQ(ErrorOf<EListError>([&] { c.Item(bad); }), "List index out of bounds (" + std::to_string(bad) + ")");
  }
}

TEST(Collection, NamingHookRunsAfterAppend) {
  NamingCollection c;
  c.Add();
  c.Add();
  EXPECT_EQ(static_cast<NamedItem*>(c.Item(1))->name, "item2");
  EXPECT_EQ(c.Item(1)->Index(), 1);
}

TEST(Collection, AssignCopiesItemsInOrderAndNotifiesOnce) {
  NamingCollection source, dest;
  for (int i = 0; i < 3; ++i) static_cast<NamedItem*>(source.Add())->value = i * 10;
  dest.Add();
  dest.updates = 0;
  dest.Assign(source);
  ASSERT_EQ(dest.Count(), 3);
  EXPECT_EQ(static_cast<NamedItem*>(dest.Item(2))->value, 20);
  EXPECT_EQ(dest.updates, 1);
}

TEST(Persistent, UnknownSourceFailsWithAssignError) {
  NamingCollection c;
  Plain plain;
  EXPECT_EQ(ErrorOf<EConvertError>([&] { c.Add()->Assign(plain); }), "Cannot assign a TPlain to a NamedItem");
}

}  // namespace
