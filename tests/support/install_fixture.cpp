// The installer's fixtures: the payload they carry and the window on a test machine.
#include "tests/support/install_fixture.h"

#include "oracle/tnsnames.h"

std::unique_ptr<TmxStorage> MakePayload(const std::vector<std::string>& contents) {
  auto storage = std::make_unique<TmxStorage>(nullptr);
  for (const std::string& content : contents) {
    TMemoryStream stream;
    stream.WriteBuffer(content.data(), content.size());
    stream.SetPosition(0);
    storage->StoredItems().Add()->LoadFromStream(&stream);
  }
  return storage;
}

std::string StoredNetServiceFile() { return tnsnames::StoredFileLine(INSTALADOR_DB_HOST) + "\r\n"; }

void WindowTest::SetUp() {
  machine_ = MakeTestMachine();
  payload_ = MakePayload({"product executable", StoredNetServiceFile(), "XE setup", "uninstaller"});
  form_ = std::make_unique<TFormInstalador>(System());
  form_->SetPayload(payload_.get());
}
