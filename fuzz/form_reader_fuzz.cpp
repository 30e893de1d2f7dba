// Fuzzes the form-stream reader into a payload host form (then decodes every
// item into a sink), and checks that the generic tree writes back its input.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "framework/errors.h"
#include "storage/exes.h"
#include "storage/form_reader.h"
#include "storage/form_tree.h"

namespace {

// Counts and drops what it is given: decoding needs no memory of its own.
class Sink : public TStream {
 public:
  int64_t Size() const override { return written_; }
  void SetSize(int64_t) override {}
  int64_t Position() const override { return written_; }
  void SetPosition(int64_t) override {}
  size_t Read(void*, size_t) override { return 0; }
  size_t Write(const void*, size_t count) override {
    written_ += static_cast<int64_t>(count);
    return count;
  }

 private:
  int64_t written_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    TFormExe form;
    FormStreamReader(data, size).ReadRootComponent(form);
    if (form.mxStorageFiles) {
      TmxStoredItems& items = form.mxStorageFiles->StoredItems();
      for (int i = 0; i < items.Count(); ++i) {
        Sink sink;
        try {
          items.Items(i)->SaveToStream(&sink);
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
