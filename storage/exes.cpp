// The payload host form and the check that a payload is complete.
#include "storage/exes.h"

#include "framework/errors.h"
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
