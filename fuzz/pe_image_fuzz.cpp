// Fuzzes the PE resource reader: any result must lie inside the input.
#include <cstdint>
#include <cstdlib>

#include "framework/errors.h"
#include "storage/pe_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    const std::optional<ByteRange> found = FindRcDataResource(data, size, "TFORMEXE");
    if (found &&
        (found->data < data || found->size > size || found->data - data > static_cast<ptrdiff_t>(size - found->size)))
      std::abort();
  } catch (const EFormatError&) {
  }
  ReadFixedFileVersion(data, size);
  return 0;
}
