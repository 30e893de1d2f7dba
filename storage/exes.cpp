// The payload host form and the check that a payload is complete.
#include "storage/exes.h"

#include "framework/errors.h"
#include "framework/scope.h"
#include "storage/form_reader.h"
#include "storage/payload_messages.h"

std::unique_ptr<TComponent> TFormExe::CreateChild(const std::string& className) {
  if (SameText(className, "TmxStorage")) return std::make_unique<TmxStorage>(this);
  return TForm::CreateChild(className);
}

void TFormExe::ChildCreated(TComponent* child, TComponent*) {
  if (!SameText(child->Name(), "mxStorageFiles")) return;
  if (auto* storage = dynamic_cast<TmxStorage*>(child)) mxStorageFiles = storage;
}

std::unique_ptr<TFormExe> ReadPayloadForm(const uint8_t* data, size_t size) {
  auto form = std::make_unique<TFormExe>();
  FormStreamReader(data, size).ReadRootComponent(*form);
  if (!form->mxStorageFiles) throw EReadError(msg::kPayloadWithoutStorage);
  const int count = form->mxStorageFiles->StoredItems().Count();
  if (count < kPayloadItemCount) throw EReadError(Format(msg::kPayloadTooFewItems, count, kPayloadItemCount));
  return form;
}

std::unique_ptr<TFormExe> NewPayloadForm() {
  auto form = std::make_unique<TFormExe>();
  form->SetName("FormExe");
  form->SetLeft(893);
  form->SetTop(109);
  form->SetWidth(208);
  form->SetHeight(111);
  form->SetColor(clBtnFace);
  TFont& font = form->SetFont();
  font.Charset = kDefaultCharset;
  font.Color = clWindowText;
  font.Height = -11;
  font.Name = "MS Sans Serif";
  font.Style = 0;
  form->SetOldCreateOrder(false);
  form->SetPixelsPerInch(96);
  form->SetTextHeight(13);
  auto* storage = new TmxStorage(form.get());  // owned by the form
  storage->SetName("mxStorageFiles");
  storage->SetDesignPosition(32, 16);
  form->mxStorageFiles = storage;
  return form;
}

TmxStoredItem& AddStoredFile(TmxStorage& storage, const std::string& name, const std::string& fileName,
                             const uint8_t* data, size_t size, TCompressionLevel level) {
  if (size > 0x7FFFFFFFu) throw EFormatError(Format(msg::kFileTooLarge, fileName.c_str()));
  // FileName is taken only while the storage loads, and a level set then is
  // taken without re-encoding.
  const bool wasLoading = storage.Loading();
  if (!wasLoading) storage.BeginLoading();
  {
    ScopeGuard endLoading([&] {
      if (!wasLoading) storage.EndLoading();
    });
    TmxStoredItem* item = storage.StoredItems().Add();
    item->SetName(name);
    item->SetCompression(level);
    item->SetFileName(fileName);
    TReadOnlyMemoryStream source(data, size);
    // Sets FileSize, except at clNone, where it stays 0 (the Ratio then reads
    // "100%"): a payload holds what the item's own encoding gives, nothing more.
    item->LoadFromStream(&source);
  }
  return *storage.StoredItems().Items(storage.StoredItems().Count() - 1);
}
