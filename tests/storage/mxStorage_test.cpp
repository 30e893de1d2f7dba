// The storage component: sizes, ratios, names, loading rules, copying, lifetime.
#include "storage/mxStorage.h"

#include <gtest/gtest.h>

#include "framework/errors.h"
#include "tests/storage/storage_test_support.h"
#include "tests/support/error_matcher.h"

namespace {

using namespace storage_test;

TEST_F(StorageFixture, EmptyStorageReportsZeroSizesAndFullRatio) {
  EXPECT_EQ(storage.Size(), 0);
  EXPECT_EQ(storage.OriginalSize(), 0);
  EXPECT_EQ(storage.Ratio(), "100%");
  EXPECT_EQ(storage.Version(), "1.0");
}

TEST(RatioText, MatchesTheWorkedExamples) {
  struct Case {
    int32_t size, fileSize;
    const char* text;
  };
  for (const Case& c : {Case{130, 147, "88.44%"}, Case{1581616, 2997248, "52.77%"}, Case{27966086, 34413191, "81.27%"},
                        Case{26131948, 30943220, "84.45%"}, Case{252392, 472576, "53.41%"}, Case{5, 0, "100%"},
                        Case{0, 0, "100%"}, Case{300, 200, "150.00%"},
                        // Ties round half up, whatever the C library does with them.
                        Case{1, 800, "0.13%"}, Case{5, 800, "0.63%"}, Case{17689, 20000, "88.45%"},
                        Case{2, 3, "66.67%"}, Case{1, 30000, "0.00%"}, Case{2147483647, 1, "214748364700.00%"}})
    EXPECT_EQ(RatioText(c.size, c.fileSize), c.text) << c.size << "/" << c.fileSize;
}

TEST_F(StorageFixture, StorageSumsItemSizes) {
  TmxStoredItem& a = AddItem();
  TmxStoredItem& b = AddItem();
  Load(a, Content(1000, true));
  Load(b, Content(500, false));
  EXPECT_EQ(storage.OriginalSize(), 1500);
  EXPECT_EQ(storage.Size(), a.Size() + b.Size());
  EXPECT_EQ(storage.Ratio(), RatioText(a.Size() + b.Size(), 1500));
}

struct DefaultNameCase {
  std::vector<std::string> existing;
  std::string expected;
};

class DefaultNames : public ::testing::TestWithParam<DefaultNameCase> {};

TEST_P(DefaultNames, TakeTheSmallestFreeNumber) {
  TmxStorage storage(nullptr);
  for (const std::string& name : GetParam().existing) storage.StoredItems().Add()->SetName(name);
  EXPECT_EQ(storage.StoredItems().Add()->Name(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, DefaultNames,
                         ::testing::Values(DefaultNameCase{{}, "mxStoredItem1"},
                                           DefaultNameCase{{"mxStoredItem1", "mxStoredItem3"}, "mxStoredItem2"},
                                           DefaultNameCase{{"MXSTOREDITEM1", "mxStoredItem2"}, "mxStoredItem3"},
                                           DefaultNameCase{{"exe", "tnsname"}, "mxStoredItem1"}));

TEST_F(StorageFixture, RenameRules) {
  TmxStoredItem& exe = AddItem("exe");
  TmxStoredItem& other = AddItem("oracle");
  exe.SetName("EXE");  // a change of case alone is ignored
  EXPECT_EQ(exe.Name(), "exe");
  EXPECT_EQ(ErrorOf<Exception>([&] { other.SetName("EXE"); }), "Duplicated stored item name");
  EXPECT_EQ(other.Name(), "oracle");
  other.SetName("desinstalar");
  EXPECT_EQ(other.Name(), "desinstalar");
}

TEST_F(StorageFixture, FileNameAndFileSizeAreKeptOnlyWhileLoading) {
  TmxStoredItem& item = AddItem();
  storage.BeginLoading();
  item.SetFileName("Pliegorama.exe");
  item.SetFileSize(2997248);
  storage.EndLoading();
  item.SetFileName("other.exe");
  item.SetFileSize(1);
  EXPECT_EQ(item.FileName(), "Pliegorama.exe");
  EXPECT_EQ(item.FileSize(), 2997248);
}

// For a list display, through the collection's own interface: one attribute,
// "Name", giving each item's name; any other attribute is untitled and empty.
TEST_F(StorageFixture, DesignTimeAttributesShowTheItemNames) {
  AddItem("exe");
  AddItem("tnsname");
  const TCollection& items = storage.StoredItems();
  EXPECT_EQ(items.GetAttrCount(), 1);
  struct Case {
    int attribute;
    const char* title;
    const char* first;
    const char* second;
  };
  for (const Case& c : {Case{0, "Name", "exe", "tnsname"}, Case{1, "", "", ""}, Case{-1, "", "", ""}}) {
    EXPECT_EQ(items.GetAttr(c.attribute), c.title) << c.attribute;
    EXPECT_EQ(items.GetItemAttr(c.attribute, 0), c.first) << c.attribute;
    EXPECT_EQ(items.GetItemAttr(c.attribute, 1), c.second) << c.attribute;
  }
}

TEST_F(StorageFixture, PositionOutsideTheCollectionFails) {
  for (int i = 0; i < 4; ++i) AddItem();
  EXPECT_EQ(ErrorOf<EListError>([&] { storage.StoredItems().Items(4); }), "List index out of bounds (4)");
}

TEST(StoredItemAssign, CopiesTagAndBytesOnly) {
  TmxStorage source(nullptr), dest(nullptr);
  TmxStoredItem& a = *source.StoredItems().Add();
  a.SetName("exe");
  a.SetTag(42);
  Load(a, Content(300, true));
  dest.SetStoredItems(source.StoredItems());
  ASSERT_EQ(dest.StoredItems().Count(), 1);
  TmxStoredItem& b = *dest.StoredItems().Items(0);
  EXPECT_EQ(b.Name(), "mxStoredItem1");
  EXPECT_EQ(b.Tag(), 42);
  EXPECT_EQ(b.FileSize(), 0);
  EXPECT_EQ(b.FileName(), "");
  EXPECT_EQ(StoredBytes(b), StoredBytes(a));
  EXPECT_EQ(Decode(b), Content(300, true));

  class Other : public TPersistent {
   public:
    const char* ClassName() const override { return "TOther"; }
  } other;
  EXPECT_EQ(ErrorOf<EConvertError>([&] { other.Assign(a); }), "Cannot assign a TmxStoredItem to a TOther");
}

// Assigning an item (or the whole collection) to itself once released the
// stored bytes before copying them; the sanitizer build reads freed memory then.
TEST(StoredItemAssign, SelfAssignmentChangesNothing) {
  TmxStorage storage(nullptr);
  TmxStoredItem& a = *storage.StoredItems().Add();
  a.SetName("exe");
  a.SetTag(7);
  Load(a, Content(70000, false));
  const std::vector<uint8_t> stored = StoredBytes(a);
  auto unchanged = [&](const char* how) {
    ASSERT_EQ(storage.StoredItems().Count(), 1) << how;
    const TmxStoredItem& item = *storage.StoredItems().Items(0);
    EXPECT_EQ(item.Name(), "exe") << how;
    EXPECT_EQ(item.Tag(), 7) << how;
    EXPECT_EQ(item.FileSize(), 70000) << how;
    EXPECT_EQ(StoredBytes(item), stored) << how;
  };
  a.Assign(a);
  unchanged("item");
  storage.SetStoredItems(storage.StoredItems());
  unchanged("collection");
  EXPECT_EQ(Decode(*storage.StoredItems().Items(0)), Content(70000, false));
}

TEST(StoredItemLifetime, OnDestroyFiresAfterLeavingTheCollection) {
  auto storage = std::make_unique<TmxStorage>(nullptr);
  TmxStoredItem& item = *storage->StoredItems().Add();
  Load(item, Content(10, true));
  bool fired = false;
  item.OnDestroy = [&](TPersistent* sender) {
    auto* self = static_cast<TmxStoredItem*>(sender);
    fired = self->Collection() == nullptr && self->Size() == 0;
  };
  storage.reset();
  EXPECT_TRUE(fired);
}

}  // namespace
