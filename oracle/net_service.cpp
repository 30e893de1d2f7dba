// The product's net service entry in the found Oracle client's tnsnames.ora.
#include "installer/form_instalador.h"

#include <vector>

#include "framework/errors.h"
#include "installer/install_paths.h"
#include "oracle/tnsnames.h"
#include "storage/mxStorage.h"

namespace {

using paths::InHome;
using paths::IsFullPath;
using paths::kNetServiceItem;

constexpr char kOtherHomeFile[] = "\\network\\ADMIN\\tnsnames.ora";
constexpr char kNotATextFile[] = "Cannot edit file \"%s\". It is not a text file";

// Puts the entry into an existing file. The file is replaced in one step, so
// a failed write leaves the user's entries as they were.
void EditNetServiceFile(platform::Platform& system, const std::string& path) {
  const std::vector<uint8_t> bytes = system.ReadFile(path);
  const std::string text(bytes.begin(), bytes.end());
  // Reading stops at a NUL; what follows would be lost by the rewrite.
  if (tnsnames::HasTextAfterNul(text)) throw EReadError(Format(kNotATextFile, path.c_str()));
  const std::string edited = tnsnames::SetNetServiceEntry(text, INSTALADOR_DB_HOST);
  system.ReplaceFile(path, std::vector<uint8_t>(edited.begin(), edited.end()));
}

}  // namespace

bool TFormInstalador::ConfigureNetService() {
  platform::Platform& system = Platform();
  if (DetectXEClient()) {
    // Known only by its uninstall entry, or by a home that is no full path:
    // nowhere safe to write (a path built from it would count from the
    // current drive or folder, which another user may have prepared). The
    // client is there all the same, which is what the caller asks.
    if (!IsFullPath(XEClientHome)) return true;
    const std::string network = InHome(XEClientHome, "NETWORK");
    const std::string admin = InHome(XEClientHome, "NETWORK\\ADMIN");
    const std::string file = InHome(XEClientHome, "NETWORK\\ADMIN\\tnsnames.ora");
    if (!system.DirectoryExists(network)) system.CreateDirectory(network);
    if (!system.DirectoryExists(admin)) system.CreateDirectory(admin);
    // A file already there may hold other entries: edit it instead of
    // writing the carried one over it.
    if (system.FileExists(file)) {
      EditNetServiceFile(system, file);
      return true;
    }
    // Extraction moves the finished file into place: a failed one leaves no
    // half-written file behind for the next run to edit.
    StoredItem(kNetServiceItem).ExtractToFile(file, system);
    return true;
  }
  if (DetectOracleHomes()) {
    ReadOracleHome();
    // A home that is no full path ("" when the value is missing) counts as a
    // home without the file: its path would lie under the current drive's
    // root, where any user may create it and link it elsewhere.
    if (!IsFullPath(OracleHome)) return false;
    const std::string file = OracleHome + kOtherHomeFile;
    if (!system.FileExists(file)) return false;
    EditNetServiceFile(system, file);
    return true;
  }
  return false;
}
