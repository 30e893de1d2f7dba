// The form text: every value code survives text -> stream -> text -> stream,
// file blocks are framed as the window's picture needs, and errors name the line.
#include "tools/form_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "framework/errors.h"
#include "tests/support/error_matcher.h"
#include "tests/support/host_files.h"

namespace fs = std::filesystem;

namespace {

const char kEveryCode[] = R"(// every value code once
object Form1: TFormX flags 2 index int16 3
  Left = 893
  Top = int32 0
  Big = 70000
  Huge = 5000000000
  Neg = int8 -1
  Caption = 'It''s'#13#10'ok'#233
  Long = lstring 'x'
  Wide = wstring 'A'#8364
  Utf = utf8 'caf'#195#169
  Color = clBtnFace
  Odd = ident 'two words'
  Flags = [fsBold, fsItalic]
  Empty = []
  Yes = True
  No = False
  Nothing = nil
  Null = null
  'Odd name' = 1
  Items = (1 'a' (2 3) [x])
  Coll = <
    item
      Name = 'a'
    end
    item int32 5
      Tag = 2
    end>
  EmptyColl = <>
  Data = {00 01 fe FF}
  F = extended {00 00 00 00 00 00 00 80 FF 3F}
  S = single {00 00 80 3F}
  C = currency {10 27 00 00 00 00 00 00}
  D = date {00 00 00 00 00 00 F0 3F}
  object Panel1: TPanel
    object : TButton flags 1
      Caption = ''
    end
  end
end
)";

std::vector<uint8_t> Compile(const std::string& text, const std::string& base = ".") {
  return WriteFormTree(ParseFormText(text, "test.txt", base));
}

TEST(FormText, EveryCodeRoundTripsThroughTheStreamAndTheDump) {
  const std::vector<uint8_t> stream = Compile(kEveryCode);
  const FormObject tree = ParseFormTree(stream.data(), stream.size());
  EXPECT_EQ(tree, ParseFormText(kEveryCode, "test.txt", "."));
  const std::string dumped = PrintFormTree(tree, BlockStyle::Bytes);
  EXPECT_EQ(Compile(dumped), stream) << dumped;
  // Sizes only: readable, but refused by the compiler.
  const std::string sizes = PrintFormTree(tree, BlockStyle::Sizes);
  EXPECT_NE(sizes.find("Data = { 4 bytes }"), std::string::npos) << sizes;
  EXPECT_THROW(Compile(sizes), EFormatError);
}

TEST(FormText, ValuesTakeTheNarrowestCodeUnlessTold) {
  const std::vector<uint8_t> stream =
      Compile("object A: TB\n Left = 893\n Top = 109\n Tag = int32 0\n S = 'ab'\n Yes = True\n Style = []\nend\n");
  const std::vector<uint8_t> expected = {'T', 'P', 'F', '0', 2,   'T',  'B',  1, 'A',
                                         4,   'L', 'e', 'f', 't', 3,    0x7D, 3,     // Left = 893
                                         3,   'T', 'o', 'p', 2,   0x6D,              // Top = 109
                                         3,   'T', 'a', 'g', 4,   0,    0,    0, 0,  // Tag = int32 0
                                         1,   'S', 6,   2,   'a', 'b',               // S = 'ab'
                                         3,   'Y', 'e', 's', 9,                      // Yes = True
                                         5,   'S', 't', 'y', 'l', 'e',  11,   0,     // Style = []
                                         0,   0};
  EXPECT_EQ(stream, expected);
}

TEST(FormText, GraphicBlocksCarryTheClassNameAndLength) {
  const TempFolder folder;
  const fs::path& dir = folder.Path();
  std::ofstream(dir / "banner.gif", std::ios::binary) << "GIF89a!";
  const std::vector<uint8_t> stream =
      Compile("object I: TImage\n Picture.Data = graphic TGIFImage 'banner.gif'\n Raw = file 'banner.gif'\nend\n",
              dir.string());
  const FormObject tree = ParseFormTree(stream.data(), stream.size());
  const std::string picture = std::string("\x09TGIFImage\x07\x00\x00\x00", 14) + "GIF89a!";
  EXPECT_EQ(tree.properties[0].value[0].code, ValueCode::Binary);
  EXPECT_EQ(tree.properties[0].value[0].bytes, picture);
  EXPECT_EQ(tree.properties[1].value[0].bytes, "GIF89a!");
  EXPECT_THROW(Compile("object I: TImage\n X = file 'missing.gif'\nend\n", dir.string()), EFOpenError);
}

TEST(FormText, SyntaxErrorsNameTheLine) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"object A: TB\n  Left = \nend\n", "test.txt:3: expected a value"},
      {"object A: TB\n  Left = int8 300\nend\n", "test.txt:2: number out of range for its width"},
      {"object A: TB\n  S = 'open\nend\n", "test.txt:2: unterminated string"},
      {"object A: TB\n  S = {0A 1}\nend\n", "test.txt:2: odd number of hex digits"},
      {"object A: TB\n  S = 'x'#300\nend\n", "test.txt:2: character code above 255 outside a wide string"},
      {"object A: TB flags 2\nend\n", "test.txt:2: index goes with flags that hold 2, and only with them"},
      {"object A: TB\nend\nend\n", "test.txt:3: text after the root object's end"},
      {"object A: TB\n  X = <item Y = 1>\nend\n", "test.txt:2: expected a property name"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorOf<EFormatError>([&] { Compile(c.text); }), c.message) << c.text;
  }
}

}  // namespace
