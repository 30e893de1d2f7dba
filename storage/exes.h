// The payload host form: a form never shown whose one child, the storage
// component mxStorageFiles, carries the installer's files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "framework/forms.h"
#include "storage/mxStorage.h"

class TFormExe : public TForm {
 public:
  explicit TFormExe(TComponent* owner = nullptr) : TForm(owner) {}
  const char* ClassName() const override { return "TFormExe"; }

  // The storage read from the stream; null until then.
  TmxStorage* mxStorageFiles = nullptr;

  // The declared child field's class first, then the registered ones.
  std::unique_ptr<TComponent> CreateChild(const std::string& className) override;
  void ChildCreated(TComponent* child, TComponent* parent) override;
};

// A payload has at least the installer's four items.
inline constexpr int kPayloadItemCount = 4;

// A payload host form as the installer's payload carries it (FormExe, its
// window properties, and an empty storage mxStorageFiles at design position
// 32, 16), ready for items to be added and the form to be written.
std::unique_ptr<TFormExe> NewPayloadForm();

// Appends an item holding `size` bytes at `data`, encoded at `level`, with
// the given Name and FileName (a file's base name). FileSize is the length
// LoadFromStream sets: the file's, or 0 for clNone and for an empty file.
TmxStoredItem& AddStoredFile(TmxStorage& storage, const std::string& name, const std::string& fileName,
                             const uint8_t* data, size_t size, TCompressionLevel level);

// Reads a TFORMEXE form stream into a new payload host form and checks that
// it carries mxStorageFiles with at least four items: the install sequence
// must not start without them (EReadError otherwise).
std::unique_ptr<TFormExe> ReadPayloadForm(const uint8_t* data, size_t size);
