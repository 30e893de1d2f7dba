// Writes the fuzzers' seeds: golden payload streams and PE images carrying them.
#include <cstdio>
#include <string>
#include <vector>

#include "storage/exes.h"
#include "storage/form_writer.h"
#include "storage/pe_image.h"
#include "tests/support/pe_builder.h"

namespace {

void Save(const std::string& path, const std::vector<uint8_t>& bytes) {
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
}

std::vector<uint8_t> Payload(TCompressionLevel level, size_t items) {
  static const char* const kNames[] = {"exe", "tnsname", "oracle", "desinstalar"};
  std::unique_ptr<TFormExe> form = NewPayloadForm();
  for (size_t i = 0; i < items; ++i) {
    const std::string content = std::string(40 + i * 13, static_cast<char>('a' + i)) + "LUMENTRA = (HOST = 192.0.2.10)";
    AddStoredFile(*form->mxStorageFiles, kNames[i % 4], std::string(kNames[i % 4]) + ".bin",
                  reinterpret_cast<const uint8_t*>(content.data()), content.size(), level);
  }
  return WriteFormStream(*form);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_seeds FORM_DIR PE_DIR\n");
    return 2;
  }
  const std::string forms = argv[1], pes = argv[2];
  const std::vector<uint8_t> payload = Payload(TCompressionLevel::clDefault, 4);
  Save(forms + "/payload", payload);
  Save(forms + "/payload-none", Payload(TCompressionLevel::clNone, 4));
  Save(forms + "/payload-two", Payload(TCompressionLevel::clMax, 2));
  Save(forms + "/empty-storage", Payload(TCompressionLevel::clDefault, 0));
  Save(pes + "/pe32",
       BuildPe(false, {{kRtRcData, "TFORMEXE", 0, 0, payload}, {kRtVersion, "", 1, 0x0409, VersionInfo(1, 0, 0, 7)}})
           .image);
  Save(pes + "/pe64", BuildPe(true, {{kRtRcData, "TFORMEXE", 0, 0x0409, payload}}).image);
  return 0;
}
