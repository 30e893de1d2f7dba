// Lays out DOS header, PE headers, one ".rsrc" section and a three-level
// resource tree leading to a VS_VERSIONINFO block.
#include "tests/platform/pe_builder.h"

#include <cstdint>
#include <cstring>

namespace {

void Put16(std::string& image, size_t offset, uint32_t value) {
  image[offset] = static_cast<char>(value & 0xFF);
  image[offset + 1] = static_cast<char>((value >> 8) & 0xFF);
}
void Put32(std::string& image, size_t offset, uint32_t value) {
  Put16(image, offset, value & 0xFFFF);
  Put16(image, offset + 2, value >> 16);
}

constexpr size_t kPe = 0x40;
constexpr size_t kOptional = kPe + 4 + 20;
constexpr size_t kSectionTable = kOptional + 0xE0;
constexpr size_t kRaw = 0x200;
constexpr uint32_t kRva = 0x1000;

}  // namespace

std::string BuildPeImage(std::optional<platform::FileVersion> fileVersion) {
  std::string image(0x400, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  Put32(image, 0x3C, kPe);
  std::memcpy(&image[kPe], "PE\0\0", 4);
  Put16(image, kPe + 4, 0x14C);            // i386
  Put16(image, kPe + 6, 1);                // one section
  Put16(image, kPe + 20, 0xE0);            // optional header size
  Put16(image, kPe + 22, 0x0102);          // executable, 32-bit
  Put16(image, kOptional, 0x10B);          // PE32
  Put32(image, kOptional + 8, 0x200);      // initialised data
  Put32(image, kOptional + 20, kRva);      // base of code
  Put32(image, kOptional + 24, kRva);      // base of data
  Put32(image, kOptional + 28, 0x400000);  // image base
  Put32(image, kOptional + 32, 0x1000);    // section alignment
  Put32(image, kOptional + 36, 0x200);     // file alignment
  Put16(image, kOptional + 40, 4);         // OS version
  Put16(image, kOptional + 48, 4);         // subsystem version
  Put32(image, kOptional + 56, 0x2000);    // image size
  Put32(image, kOptional + 60, 0x200);     // headers size
  Put16(image, kOptional + 68, 2);         // GUI
  Put32(image, kOptional + 72, 0x100000);
  Put32(image, kOptional + 76, 0x1000);
  Put32(image, kOptional + 80, 0x100000);
  Put32(image, kOptional + 84, 0x1000);
  Put32(image, kOptional + 92, 16);  // data directories

  std::memcpy(&image[kSectionTable], ".rsrc", 5);
  Put32(image, kSectionTable + 8, 0x200);  // virtual size
  Put32(image, kSectionTable + 12, kRva);
  Put32(image, kSectionTable + 16, 0x200);  // raw size
  Put32(image, kSectionTable + 20, kRaw);
  Put32(image, kSectionTable + 36, 0x40000040);  // initialised data, readable
  if (!fileVersion) return image;

  constexpr size_t kVersionBlock = 0x58;
  constexpr size_t kVersionSize = 40 + 52;
  Put32(image, kOptional + 96 + 2 * 8, kRva);  // resource directory
  Put32(image, kOptional + 96 + 2 * 8 + 4, kVersionBlock + kVersionSize);
  // Type RT_VERSION -> name 1 -> language 0x080A -> data entry.
  Put16(image, kRaw + 14, 1);
  Put32(image, kRaw + 16, 16);
  Put32(image, kRaw + 20, 0x80000000u | 0x18);
  Put16(image, kRaw + 0x18 + 14, 1);
  Put32(image, kRaw + 0x18 + 16, 1);
  Put32(image, kRaw + 0x18 + 20, 0x80000000u | 0x30);
  Put16(image, kRaw + 0x30 + 14, 1);
  Put32(image, kRaw + 0x30 + 16, 0x080A);
  Put32(image, kRaw + 0x30 + 20, 0x48);
  Put32(image, kRaw + 0x48, kRva + kVersionBlock);
  Put32(image, kRaw + 0x48 + 4, kVersionSize);

  const size_t block = kRaw + kVersionBlock;
  Put16(image, block, kVersionSize);
  Put16(image, block + 2, 52);
  const char key[] = "VS_VERSION_INFO";
  for (size_t i = 0; i < sizeof key; ++i) Put16(image, block + 6 + 2 * i, static_cast<uint8_t>(key[i]));
  const size_t fixed = block + 40;
  Put32(image, fixed, 0xFEEF04BD);
  Put32(image, fixed + 4, 0x00010000);
  Put32(image, fixed + 8, uint32_t{fileVersion->major} << 16 | fileVersion->minor);
  Put32(image, fixed + 12, uint32_t{fileVersion->release} << 16 | fileVersion->build);
  Put32(image, fixed + 16, 0x00630000);  // product version 99.0.0.0, never the one read
  Put32(image, fixed + 24, 0x3F);
  Put32(image, fixed + 32, 0x00040004);  // VOS_NT_WINDOWS32
  Put32(image, fixed + 36, 1);           // VFT_APP
  return image;
}
