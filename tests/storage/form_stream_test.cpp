// The value-code table against hand-written payloads of every code: the
// generic tree reads each to its exact end and writes it back, and the
// reader's skip passes over exactly its bytes.
#include "storage/form_stream.h"

#include <gtest/gtest.h>

#include <climits>

#include "framework/errors.h"
#include "storage/exes.h"
#include "storage/form_reader.h"
#include "storage/form_tree.h"
#include "tests/storage/stream_bytes.h"
#include "tests/support/error_matcher.h"

namespace {

struct CodeCase {
  uint8_t code;
  std::vector<uint8_t> payload;  // the bytes after the code byte
  int64_t integer;               // what the tree keeps of an integer code
  size_t kept;                   // bytes, set elements, list values or collection items the tree keeps
};

const CodeCase kCodes[] = {
    {0, {}, 0, 0},
    {1, {0x02, 0x05, 0x06, 0x01, 'z', 0x00}, 0, 2},
    {2, {0xFE}, -2, 0},
    {3, {0x34, 0x82}, -32204, 0},
    {4, {0x01, 0x00, 0x00, 0x80}, INT32_MIN + 1, 0},
    {5, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0xFF, 0x3F}, 0, 10},
    {6, {0x02, 'a', 'b'}, 0, 2},
    {7, {0x03, 'a', 'b', 'c'}, 0, 3},
    {8, {}, 0, 0},
    {9, {}, 0, 0},
    {10, {0x03, 0x00, 0x00, 0x00, 'x', 'y', 'z'}, 0, 3},
    {11, {0x01, 'a', 0x02, 'b', 'c', 0x00}, 0, 2},
    {12, {0x02, 0x00, 0x00, 0x00, 'h', 'i'}, 0, 2},
    {13, {}, 0, 0},
    // An item with an index and a property, then an empty one.
    {14, {0x02, 0x07, 0x01, 0x03, 'T', 'a', 'g', 0x02, 0x01, 0x00, 0x01, 0x00, 0x00}, 0, 2},
    {15, {0x00, 0x00, 0x80, 0x3F}, 0, 4},
    {16, {0x10, 0x27, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, 0, 8},
    {17, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F}, 0, 8},
    {18, {0x02, 0x00, 0x00, 0x00, 'a', 0x00, 'b', 0x00}, 0, 4},
    {19, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80}, INT64_MIN, 0},
    {20, {0x03, 0x00, 0x00, 0x00, 'c', 'a', 'f'}, 0, 3},
};

// A root whose one property Foo holds the value; `ends` closes the stream.
std::vector<uint8_t> StreamWith(uint8_t code, const std::vector<uint8_t>& payload, bool ends) {
  StreamBytes s;
  s.Raw("TPF0").Short("TFormExe").Short("FormExe").Short("Foo").U8(code).Raw(payload);
  if (ends) s.U8(0).U8(0);
  return s.bytes;
}

std::string ReaderError(const std::vector<uint8_t>& stream) {
  TFormExe form;
  return ErrorOf([&] { FormStreamReader(stream.data(), stream.size()).ReadRootComponent(form); });
}

size_t Kept(const FormValue& value) {
  return value.bytes.size() + value.elements.size() + value.list.size() + value.items.size();
}

TEST(ValueCodes, EveryCodeReadsToItsExactEndAndWritesBack) {
  ASSERT_EQ(sizeof kCodes / sizeof kCodes[0], size_t{kLastValueCode} + 1);
  for (const CodeCase& c : kCodes) {
    const char* name = kValueCodes[c.code].name;
    const std::vector<uint8_t> stream = StreamWith(c.code, c.payload, true);
    // Whole: the stream must end right after the root's two end markers.
    FormObject root;
    ASSERT_NO_THROW(root = ParseFormTree(stream.data(), stream.size())) << name;
    ASSERT_EQ(root.properties.size(), 1u) << name;
    const FormValue& value = root.properties[0].value[0];
    EXPECT_EQ(static_cast<uint8_t>(value.code), c.code) << name;
    EXPECT_EQ(value.integer, c.integer) << name;
    EXPECT_EQ(Kept(value), c.kept) << name;
    EXPECT_EQ(WriteFormTree(root), stream) << name;

    // The skip of an unknown property takes the whole value, and no byte more.
    EXPECT_EQ(ReaderError(StreamWith(c.code, c.payload, false)),
              "Error reading FormExe.Foo: Property Foo does not exist")
        << name;
    for (size_t cut = 0; cut < c.payload.size(); ++cut)
      EXPECT_EQ(ReaderError(StreamWith(c.code, {c.payload.begin(), c.payload.begin() + cut}, false)),
                "Error reading FormExe.Foo: Stream read error")
          << name << " cut at " << cut;
  }
  // A byte past the last code, a collection item without its start byte: the
  // tree and the reader's skip walk values alike.
  for (const auto& bad : {StreamWith(kLastValueCode + 1, {}, true), StreamWith(14, {0x05, 0x00}, true)}) {
    EXPECT_EQ(ErrorOf([&] { ParseFormTree(bad.data(), bad.size()); }), "Invalid property value");
    EXPECT_EQ(ReaderError(bad), "Error reading FormExe.Foo: Invalid property value");
  }
}

TEST(ValueCodes, IntegersTakeTheNarrowestCode) {
  const struct {
    int64_t value;
    ValueCode code;
  } cases[] = {
      {0, ValueCode::Int8},          {127, ValueCode::Int8},        {-128, ValueCode::Int8},
      {128, ValueCode::Int16},       {-129, ValueCode::Int16},      {32767, ValueCode::Int16},
      {-32768, ValueCode::Int16},    {32768, ValueCode::Int32},     {-32769, ValueCode::Int32},
      {INT32_MAX, ValueCode::Int32}, {INT32_MIN, ValueCode::Int32}, {int64_t{INT32_MAX} + 1, ValueCode::Int64},
      {INT64_MIN, ValueCode::Int64},
  };
  for (const auto& c : cases) EXPECT_EQ(NarrowestIntegerCode(c.value), c.code) << c.value;
}

}  // namespace
