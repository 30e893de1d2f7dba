// Form streams: the payload's golden bytes, reading it back, the accepted
// variants, and bad streams with their exact (wrapped) messages.
#include "storage/form_reader.h"

#include <gtest/gtest.h>

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

std::vector<uint8_t> Replace(std::vector<uint8_t> bytes, const std::string& from, const std::string& to) {
  const std::string text(bytes.begin(), bytes.end());
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  std::string changed = text.substr(0, at) + to + text.substr(at + from.size());
  return std::vector<uint8_t>(changed.begin(), changed.end());
}

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
  const std::vector<uint8_t> head = {0x54, 0x50, 0x46, 0x30, 0x08, 'T',  'F', 'o', 'r', 'm',  'E', 'x',
                                     'e',  0x07, 'F',  'o',  'r',  'm',  'E', 'x', 'e', 0x04, 'L', 'e',
                                     'f',  't',  0x03, 0x7D, 0x03, 0x03, 'T', 'o', 'p', 0x02, 0x6D};
  ASSERT_GE(built.size(), head.size());
  EXPECT_EQ(std::vector<uint8_t>(built.begin(), built.begin() + head.size()), head);

  const std::string text(built.begin(), built.end());
  const std::string firstItem = std::string(
      "\x0E\x01\x03Tag\x02\x00\x04Name\x06\x03"
      "exe",
      17);
  EXPECT_NE(text.find(firstItem), std::string::npos);
  // StoredItem: code 10, length N + 4, then N, then a zlib stream at the default level.
  const size_t at = text.find("\x0AStoredItem");
  ASSERT_NE(at, std::string::npos);
  const uint8_t* value = built.data() + at + 11;
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
  std::string from, to;
};

// Streams that differ from the written one but must read into the same storage.
TEST(PayloadStream, AcceptedVariantsReadTheSame) {
  const std::vector<uint8_t> built = BuildPayload(kFiles);
  const Variant variants[] = {
      {"wide integer", std::string("\x03Tag\x02\x00", 6), std::string("\x03Tag\x04\x00\x00\x00\x00", 9)},
      {"lower case",
       "\x08"
       "FileName",
       "\x08"
       "filename"},
      {"other root class", "\x08TFormExe", "\x08TFormXyz"},
      {"stored Size ignored", "\x04Size", "\x04Size\x02\x01\x04Size"},
      {"leading item integer", std::string("\x0E\x01", 2), std::string("\x0E\x02\x07\x01", 4)},
      {"long string", std::string("\x04Name\x06\x03", 7) + "exe",
       std::string("\x04Name\x0C\x03\x00\x00\x00", 10) + "exe"},
      {"wide string", std::string("\x04Name\x06\x03", 7) + "exe",
       std::string("\x04Name\x12\x03\x00\x00\x00"
                   "e\0x\0e\0",
                   16)},
      {"utf-8 string", std::string("\x04Name\x06\x03", 7) + "exe",
       std::string("\x04Name\x14\x03\x00\x00\x00", 10) + "exe"},
  };
  for (const Variant& v : variants) {
    const std::vector<uint8_t> changed = Replace(built, v.from, v.to);
    std::unique_ptr<TFormExe> form;
    ASSERT_NO_THROW(form = ReadPayloadForm(changed.data(), changed.size())) << v.what << ": " << ReadError(changed);
    const TmxStorage& storage = *form->mxStorageFiles;
    EXPECT_EQ(storage.StoredItems().Items(0)->Name(), "exe") << v.what;
    EXPECT_EQ(storage.StoredItems().Items(0)->FileName(), "Pliegorama.exe") << v.what;
    EXPECT_EQ(storage.Size(), ReadPayloadForm(built.data(), built.size())->mxStorageFiles->Size()) << v.what;
  }
}

TEST(PayloadStream, BadStreamsFailWithTheWrappedMessage) {
  const std::vector<uint8_t> built = BuildPayload(kFiles);
  const std::string items = "Error reading mxStorageFiles.StoredItems: ";
  const Variant cases[] = {
      {"Invalid stream format", "TPF0", "TPF1"},
      {"Error reading FormExe.Foo: Property Foo does not exist", "\x04Left",
       "\x03"
       "Foo"},
      {items + "Error reading TmxStoredItem.Name: Duplicated stored item name", "\x07tnsname",
       "\x03"
       "exe"},
      {items + "Error reading TmxStoredItem.Name: Duplicated stored item name", "\x07tnsname",
       std::string("\x03"
                   "EXE",
                   4)},
      {items + "Error reading TmxStoredItem.StoredItem: Invalid property value", "\x0AStoredItem\x0A",
       "\x0AStoredItem\x06\x00\x0AStoredItem\x0A"},
      {"Class TmxStorage2 not found", "\x0ATmxStorage", "\x0BTmxStorage2"},
      {"Error reading FormExe.Font.Foo: Property Foo does not exist",
       "\x0A"
       "Font.Color",
       "\x08"
       "Font.Foo"},
      {"Error reading FormExe.Bar.Name: Property Bar does not exist",
       "\x09"
       "Font.Name",
       "\x08"
       "Bar.Name"},
      {"Error reading FormExe.Left.X: Invalid property path", "\x0DPixelsPerInch", "\x06Left.X"},
      {"Error reading FormExe.Font.Height.X: Invalid property path",
       "\x0B"
       "Font.Height",
       "\x0D"
       "Font.Height.X"},
      {"Error reading FormExe.Font.Style.X.Y: Invalid property path",
       "\x0A"
       "Font.Style",
       "\x0E"
       "Font.Style.X.Y"},
      {"Error reading mxStorageFiles.Version.X: Invalid property path", "\x07Version", "\x09Version.X"},
      {"Error reading mxStorageFiles.Tag.X: Invalid property path", "\x07Version", "\x05Tag.X"},
      {"Error reading mxStorageFiles.StoredItems.Foo: Property Foo does not exist", "\x07Version",
       "\x0FStoredItems.Foo"},
      {items + "Error reading TmxStoredItem.FileName.X: Invalid property path",
       "\x08"
       "FileName",
       "\x0A"
       "FileName.X"},
      {"Error reading FormExe.Color: Invalid property value",
       "\x09"
       "clBtnFace",
       "\x09"
       "clBtnFacX"},
      {"Error reading FormExe.Color: Invalid property value",
       "\x05"
       "Color\x07",
       "\x05"
       "Color\x09\x03Hei\x07"},
      {items + "Invalid property value", std::string("\x0E\x01", 2), std::string("\x0E\x02", 2)},
      {"Error reading FormExe.OnShow: Invalid property value", "\x0EOldCreateOrder\x08",
       "\x06OnShow\x07\x03"
       "Foo\x0EOldCreateOrder\x08"},
      {"Error reading FormExe.OldCreateOrder: Invalid property value", "\x0EOldCreateOrder\x08",
       "\x0EOldCreateOrder\x07\x05Maybe"},
      {"Invalid property value", "\x0ATmxStorage", std::string("\xF2\x06\x00\x0ATmxStorage", 14)},
  };
  for (const Variant& c : cases) EXPECT_EQ(ReadError(Replace(built, c.from, c.to)), c.what) << c.to;
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
