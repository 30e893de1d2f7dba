// Form streams: the payload's golden bytes, reading it back, the accepted
// variants, and bad streams with their exact (wrapped) messages.
#include "storage/form_reader.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "framework/errors.h"
#include "storage/exes.h"
#include "storage/form_writer.h"
#include "tests/storage/stream_bytes.h"
#include "tests/support/error_matcher.h"

namespace {

const std::vector<PayloadFile> kFiles = {
    {"exe", "Pliegorama.exe", std::string(3000, 'x') + "MZ tail"},
    {"tnsname", "tnsnames.ora", "LUMENTRA = (DESCRIPTION = (ADDRESS = (PROTOCOL = TCP)(HOST = 192.0.2.10))"},
    {"oracle", "OracleXEClient.exe", std::string(70000, '\x5A') + std::string(300, '\x01')},
    {"desinstalar", "DesInstalador.exe", "uninstall"},
};

std::vector<uint8_t> BuildPayload(const std::vector<PayloadFile>& files,
                                  TCompressionLevel level = TCompressionLevel::clDefault) {
  std::unique_ptr<TFormExe> form = NewPayloadForm();
  for (const PayloadFile& f : files)
    AddStoredFile(*form->mxStorageFiles, f.name, f.fileName, reinterpret_cast<const uint8_t*>(f.content.data()),
                  f.content.size(), level);
  return WriteFormStream(*form);
}

std::string ReadError(const std::vector<uint8_t>& stream) {
  TFormExe form;
  return ErrorOf([&] { FormStreamReader(stream.data(), stream.size()).ReadRootComponent(form); });
}

// The stream with the first occurrence of `from` replaced by `to`.
std::vector<uint8_t> Replace(std::vector<uint8_t> bytes, const StreamBytes& from, const StreamBytes& to) {
  const auto at = std::search(bytes.begin(), bytes.end(), from.bytes.begin(), from.bytes.end());
  EXPECT_NE(at, bytes.end()) << std::string(from.bytes.begin(), from.bytes.end());
  if (at == bytes.end()) return bytes;
  bytes.insert(bytes.erase(at, at + static_cast<std::ptrdiff_t>(from.bytes.size())), to.bytes.begin(), to.bytes.end());
  return bytes;
}

// Rows start from these: a short string (a name, its length byte counted for
// us), or bytes as they are.
StreamBytes Short(const std::string& text) { return StreamBytes().Short(text); }
StreamBytes Raw(const std::string& bytes) { return StreamBytes().Raw(bytes); }

TEST(PayloadStream, WriterGivesTheBytesTheEncodingRulesPrescribe) {
  const std::vector<PayloadFile> withEmpty = {kFiles[0], {"tnsname", "tnsnames.ora", ""}, kFiles[2], kFiles[3]};
  const struct {
    const char* what;
    const std::vector<PayloadFile>& files;
    TCompressionLevel level;
  } cases[] = {
      {"default level", kFiles, TCompressionLevel::clDefault},
      {"fastest, named before Tag", kFiles, TCompressionLevel::clFastest},
      {"max, named before Tag", kFiles, TCompressionLevel::clMax},
      {"none: raw bytes, FileSize 0", kFiles, TCompressionLevel::clNone},
      {"an item without data: no StoredItem", withEmpty, TCompressionLevel::clDefault},
      {"an item without data at none", withEmpty, TCompressionLevel::clNone},
  };
  for (const auto& c : cases) EXPECT_EQ(BuildPayload(c.files, c.level), ExpectedPayload(c.files, c.level)) << c.what;
}

TEST(PayloadStream, FirstBytesAndItemFramingMatchTheWorkedExample) {
  const std::vector<uint8_t> built = BuildPayload(kFiles);
  StreamBytes head;
  head.Raw("TPF0").Short("TFormExe").Short("FormExe").Int("Left", 893).Int("Top", 109);
  ASSERT_GE(built.size(), head.bytes.size());
  EXPECT_EQ(std::vector<uint8_t>(built.begin(), built.begin() + head.bytes.size()), head.bytes);
  const StreamBytes firstItem = StreamBytes().U8(14).U8(1).Int("Tag", 0).Str("Name", "exe");
  EXPECT_NE(std::search(built.begin(), built.end(), firstItem.bytes.begin(), firstItem.bytes.end()), built.end());
  // StoredItem: code 10, length N + 4, then N, then a zlib stream at the default level.
  const StreamBytes name = Short("StoredItem");
  const auto at = std::search(built.begin(), built.end(), name.bytes.begin(), name.bytes.end());
  ASSERT_NE(at, built.end());
  const uint8_t* value = &*at + name.bytes.size();
  ASSERT_EQ(value[0], 10);
  const uint32_t length = value[1] | value[2] << 8 | value[3] << 16 | static_cast<uint32_t>(value[4]) << 24;
  const uint32_t count = value[5] | value[6] << 8 | value[7] << 16 | static_cast<uint32_t>(value[8]) << 24;
  EXPECT_EQ(length, count + 4);
  EXPECT_EQ(value[9], 0x78);
  EXPECT_EQ(value[10], 0x9C);
}

TEST(PayloadStream, ReadsBackIntoTheHostFormToTheLastByte) {
  const std::vector<uint8_t> built = BuildPayload(kFiles);
  FormStreamReader reader(built.data(), built.size());
  TFormExe form;
  reader.ReadRootComponent(form);
  EXPECT_EQ(reader.BytesRead(), built.size());
  EXPECT_EQ(form.Name(), "FormExe");
  EXPECT_EQ(form.Left(), 893);
  EXPECT_EQ(form.Font().Height, -11);
  EXPECT_EQ(form.Color(), clBtnFace);
  ASSERT_NE(form.mxStorageFiles, nullptr);
  EXPECT_FALSE(form.Loading());
  EXPECT_FALSE(form.mxStorageFiles->Loading());
  const TmxStoredItems& items = form.mxStorageFiles->StoredItems();
  ASSERT_EQ(items.Count(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(items.Items(i)->Name(), kFiles[i].name);
    EXPECT_EQ(items.Items(i)->FileName(), kFiles[i].fileName);
    EXPECT_EQ(items.Items(i)->FileSize(), static_cast<int32_t>(kFiles[i].content.size()));
    TMemoryStream decoded;
    items.Items(i)->SaveToStream(&decoded);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(decoded.Memory()), decoded.Size()), kFiles[i].content);
  }
  // Written again, the form gives the same stream.
  EXPECT_EQ(WriteFormStream(form), built);
}

TEST(PayloadStream, EveryLevelRoundTrips) {
  for (TCompressionLevel level : {TCompressionLevel::clNone, TCompressionLevel::clFastest, TCompressionLevel::clMax}) {
    const std::vector<uint8_t> built = BuildPayload(kFiles, level);
    std::unique_ptr<TFormExe> form = ReadPayloadForm(built.data(), built.size());
    for (int i = 0; i < 4; ++i) {
      TmxStoredItem& item = *form->mxStorageFiles->StoredItems().Items(i);
      EXPECT_EQ(item.Compression(), level);
      TMemoryStream decoded;
      item.SaveToStream(&decoded);
      EXPECT_EQ(decoded.Size(), static_cast<int64_t>(kFiles[i].content.size()));
    }
  }
}

struct Variant {
  std::string what;
  StreamBytes from, to;
};

// Streams that differ from the written one but must read into the same storage.
TEST(PayloadStream, AcceptedVariantsReadTheSame) {
  const std::vector<uint8_t> built = BuildPayload(kFiles);
  const std::unique_ptr<TFormExe> written = ReadPayloadForm(built.data(), built.size());
  const TmxStorage& expected = *written->mxStorageFiles;
  const Variant variants[] = {
      {"wide integer", StreamBytes().Int("Tag", 0), Short("Tag").U8(4).U32(0)},
      {"lower case", Short("FileName"), Short("filename")},
      {"other root class", Short("TFormExe"), Short("TFormXyz")},
      {"stored Size ignored", Short("Size"), StreamBytes().Int("Size", 1).Short("Size")},
      {"stored Size ignored after the real one", Short("StoredItems"),
       StreamBytes().Int("Size", 1).Short("StoredItems")},
      {"stored OriginalSize ignored", Short("Ratio"), StreamBytes().Int("OriginalSize", 7).Short("Ratio")},
      {"stored Version ignored", StreamBytes().Str("Version", "1.0"), StreamBytes().Str("Version", "2.0")},
      {"leading item integer", StreamBytes().U8(14).U8(1), StreamBytes().U8(14).U8(2).U8(7).U8(1)},
      {"long string", StreamBytes().Str("Name", "exe"), Short("Name").U8(12).U32(3).Raw("exe")},
      {"wide string", StreamBytes().Str("Name", "exe"),
       Short("Name").U8(18).U32(3).Raw(std::vector<uint8_t>{'e', 0, 'x', 0, 'e', 0})},
      {"utf-8 string", StreamBytes().Str("Name", "exe"), Short("Name").U8(20).U32(3).Raw("exe")},
  };
  for (const Variant& v : variants) {
    const std::vector<uint8_t> changed = Replace(built, v.from, v.to);
    std::unique_ptr<TFormExe> form;
    ASSERT_NO_THROW(form = ReadPayloadForm(changed.data(), changed.size())) << v.what << ": " << ReadError(changed);
    const TmxStorage& storage = *form->mxStorageFiles;
    EXPECT_EQ(storage.StoredItems().Items(0)->Name(), "exe") << v.what;
    EXPECT_EQ(storage.StoredItems().Items(0)->FileName(), "Pliegorama.exe") << v.what;
    EXPECT_EQ(storage.Size(), expected.Size()) << v.what;
    EXPECT_EQ(storage.OriginalSize(), expected.OriginalSize()) << v.what;
    EXPECT_EQ(storage.Version(), "1.0") << v.what;
  }
}

TEST(PayloadStream, BadStreamsFailWithTheWrappedMessage) {
  const std::vector<uint8_t> built = BuildPayload(kFiles);
  const std::string items = "Error reading mxStorageFiles.StoredItems: ";
  const StreamBytes oldCreateOrder = Short("OldCreateOrder").U8(8);
  const Variant cases[] = {
      {"Invalid stream format", Raw("TPF0"), Raw("TPF1")},
      {"Error reading FormExe.Foo: Property Foo does not exist", Short("Left"), Short("Foo")},
      {items + "Error reading TmxStoredItem.Name: Duplicated stored item name", Short("tnsname"), Short("exe")},
      {items + "Error reading TmxStoredItem.Name: Duplicated stored item name", Short("tnsname"), Short("EXE")},
      {items + "Error reading TmxStoredItem.StoredItem: Invalid property value", Short("StoredItem").U8(10),
       StreamBytes().Str("StoredItem", "").Short("StoredItem").U8(10)},
      {"Class TmxStorage2 not found", Short("TmxStorage"), Short("TmxStorage2")},
      {"Error reading FormExe.Font.Foo: Property Foo does not exist", Short("Font.Color"), Short("Font.Foo")},
      {"Error reading FormExe.Bar.Name: Property Bar does not exist", Short("Font.Name"), Short("Bar.Name")},
      {"Error reading FormExe.Left.X: Invalid property path", Short("PixelsPerInch"), Short("Left.X")},
      {"Error reading FormExe.Font.Height.X: Invalid property path", Short("Font.Height"), Short("Font.Height.X")},
      {"Error reading FormExe.Font.Style.X.Y: Invalid property path", Short("Font.Style"), Short("Font.Style.X.Y")},
      {"Error reading mxStorageFiles.Version.X: Invalid property path", Short("Version"), Short("Version.X")},
      {"Error reading mxStorageFiles.Tag.X: Invalid property path", Short("Version"), Short("Tag.X")},
      {"Error reading mxStorageFiles.StoredItems.Foo: Property Foo does not exist", Short("Version"),
       Short("StoredItems.Foo")},
      {items + "Error reading TmxStoredItem.FileName.X: Invalid property path", Short("FileName"), Short("FileName.X")},
      {"Error reading FormExe.Color: Invalid property value", Short("clBtnFace"), Short("clBtnFacX")},
      {"Error reading FormExe.Color: Invalid property value", Short("Color").U8(7),
       Short("Color").U8(9).Short("Hei").U8(7)},
      {items + "Invalid property value", StreamBytes().U8(14).U8(1), StreamBytes().U8(14).U8(2)},
      {"Error reading FormExe.OnShow: Invalid property value", oldCreateOrder,
       StreamBytes().Ident("OnShow", "Foo").Raw(oldCreateOrder.bytes)},
      {"Error reading FormExe.OldCreateOrder: Invalid property value", oldCreateOrder,
       StreamBytes().Ident("OldCreateOrder", "Maybe")},
      {"Invalid property value", Short("TmxStorage"), StreamBytes().U8(0xF2).U8(6).U8(0).Short("TmxStorage")},
  };
  for (const Variant& c : cases) EXPECT_EQ(ReadError(Replace(built, c.from, c.to)), c.what) << c.what;
}

TEST(PayloadStream, EveryTruncationFailsWithAStreamReadError) {
  const std::vector<PayloadFile> small = {{"exe", "a.exe", "abc"}, {"tnsname", "t.ora", "x"}};
  const std::vector<uint8_t> built = BuildPayload(small);
  for (size_t cut = 0; cut < built.size(); ++cut) {
    const std::vector<uint8_t> part(built.begin(), built.begin() + cut);
    const std::string message = ReadError(part);
    EXPECT_TRUE(message == "Stream read error" || (message.rfind("Error reading ", 0) == 0 && message.size() > 17 &&
                                                   message.compare(message.size() - 17, 17, "Stream read error") == 0))
        << cut << ": " << message;
  }
}

TEST(PayloadStream, AnEmptyCollectionKeepsTheItemsAndANonEmptyOneReplacesThem) {
  TFormExe form;
  const std::vector<uint8_t> first = BuildPayload({{"a", "a", "1"}, {"b", "b", "2"}});
  FormStreamReader(first.data(), first.size()).ReadRootComponent(form);
  // Read again into the existing storage (an inherited child is read into, not created).
  auto again = [&form](bool withItem) {
    StreamBytes s;
    s.Raw("TPF0").Short("TFormExe").Short("FormExe").U8(0);
    s.U8(0xF1).Short("TmxStorage").Short("mxStorageFiles").Short("StoredItems").U8(14);
    if (withItem) s.U8(1).Str("Name", "c").U8(0);
    s.U8(0).U8(0).U8(0).U8(0);
    FormStreamReader(s.bytes.data(), s.bytes.size()).ReadRootComponent(form);
  };
  again(false);
  ASSERT_EQ(form.mxStorageFiles->StoredItems().Count(), 2);
  EXPECT_EQ(form.mxStorageFiles->StoredItems().Items(1)->Name(), "b");
  again(true);
  ASSERT_EQ(form.mxStorageFiles->StoredItems().Count(), 1);
  EXPECT_EQ(form.mxStorageFiles->StoredItems().Items(0)->Name(), "c");
}

// Read into again and listed twice, with positions: a child still has one
// place among its parent's children, and the form owns it once.
TEST(PayloadStream, AChildListedTwiceKeepsOnePlace) {
  TFormExe form;
  StreamBytes first, again;
  first.Raw("TPF0").Short("TFormExe").Short("FormExe").U8(0);
  first.Short("TmxStorage").Short("mxStorageFiles").U8(0).U8(0).Short("TmxStorage").Short("Other").U8(0).U8(0).U8(0);
  again.Raw("TPF0").Short("TFormExe").Short("FormExe").U8(0);
  again.U8(0xF1).Short("TmxStorage").Short("mxStorageFiles").U8(0).U8(0);
  for (int i = 0; i < 2; ++i) again.U8(0xF3).U8(2).U8(0).Short("TmxStorage").Short("Other").U8(0).U8(0);
  again.U8(0);
  for (const StreamBytes* s : {&first, &again})
    FormStreamReader(s->bytes.data(), s->bytes.size()).ReadRootComponent(form);
  ASSERT_EQ(form.ComponentCount(), 2u);
  EXPECT_EQ(form.Component(0)->Name(), "Other");
  EXPECT_EQ(form.Component(1)->Name(), "mxStorageFiles");
}

TEST(PayloadStream, MissingOrShortStorageIsRefused) {
  StreamBytes noStorage;
  noStorage.Raw("TPF0").Short("TFormExe").Short("FormExe").U8(0).U8(0);
  EXPECT_THROW(ReadPayloadForm(noStorage.bytes.data(), noStorage.bytes.size()), EReadError);
  const std::vector<uint8_t> two = BuildPayload({{"a", "a", "1"}, {"b", "b", "2"}});
  EXPECT_EQ(ErrorOf<EReadError>([&] { ReadPayloadForm(two.data(), two.size()); }),
            "The payload holds 2 stored items; it needs at least 4");
}

TEST(PayloadStream, DeepNestingIsRefusedWithoutExhaustingTheStack) {
  StreamBytes s;
  s.Raw("TPF0").Short("TFormExe").Short("FormExe").Short("Foo");
  for (int i = 0; i < 100000; ++i) s.U8(1);
  EXPECT_EQ(ReadError(s.bytes), "Error reading FormExe.Foo: Invalid stream format");
}

}  // namespace
