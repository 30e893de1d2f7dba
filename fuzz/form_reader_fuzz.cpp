// Fuzzes the form-stream reader into a payload host form (then decodes every
// item to nowhere), and checks that the generic tree writes back its input.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "framework/errors.h"
#include "framework/streams.h"
#include "storage/exes.h"
#include "storage/form_reader.h"
#include "storage/form_tree.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    TFormExe form;
    FormStreamReader(data, size).ReadRootComponent(form);
    if (form.mxStorageFiles) {
      TmxStoredItems& items = form.mxStorageFiles->StoredItems();
      for (int i = 0; i < items.Count(); ++i) {
        TDiscardStream nowhere;  // decoding needs no memory of its own
        try {
          items.Items(i)->SaveToStream(&nowhere);
        } catch (const Exception&) {
        }
      }
    }
  } catch (const Exception&) {
  }
  try {
    size_t used = 0;
    const FormObject tree = ParseFormTree(data, size, &used);
    const std::vector<uint8_t> again = WriteFormTree(tree);
    if (again.size() != used || std::memcmp(again.data(), data, used) != 0) std::abort();
  } catch (const Exception&) {
  }
  return 0;
}
