// The product's net service entry in the found Oracle client's tnsnames.ora.
#include "oracle/net_service.h"

#include <optional>
#include <vector>

#include "framework/errors.h"
#include "oracle/texts.h"
#include "oracle/tnsnames.h"
#include "platform/paths.h"
#include "storage/mxStorage.h"

namespace {

constexpr char kOtherHomeFile[] = "\\network\\ADMIN\\tnsnames.ora";

std::string InHome(const std::string& home, const std::string& suffix) {
  if (!home.empty() && home.back() == '\\') return home + suffix;
  return home + "\\" + suffix;
}

// Puts the entry into an existing file. The file is replaced in one step, so
// a failed write leaves the user's entries as they were. Under an Oracle home
// another user may have put a link: nothing is read or written through one,
// and a file with a second name is not read. False when it is refused, which
// counts as no file there.
bool EditNetServiceFile(platform::GuardedFiles& files, const std::string& path) {
  const std::optional<std::vector<uint8_t>> bytes = files.ReadFile(path);
  if (!bytes) return false;
  const std::string text(bytes->begin(), bytes->end());
  // Reading stops at a NUL; what follows would be lost by the rewrite.
  if (tnsnames::HasTextAfterNul(text)) throw EReadError(Format(texts::kNotATextFile, path.c_str()));
  const std::string edited = tnsnames::SetNetServiceEntry(text, INSTALADOR_DB_HOST);
  files.ReplaceFile(path, std::vector<uint8_t>(edited.begin(), edited.end()));
  return true;
}

}  // namespace

NetServicePlaces::NetServicePlaces(const std::string& xeClientHome)
    : network(InHome(xeClientHome, "NETWORK")),
      admin(InHome(xeClientHome, "NETWORK\\ADMIN")),
      file(InHome(xeClientHome, "NETWORK\\ADMIN\\tnsnames.ora")) {}

bool NetService::ConfigureNetService() {
  if (detection_.DetectXEClient()) {
    // Known only by its uninstall entry, or by a home that is no full path:
    // nowhere safe to write (a path built from it would count from the
    // current drive or folder, which another user may have prepared). The
    // client is there all the same, which is what the caller asks.
    if (!platform::IsFullPath(detection_.XEClientHome())) return true;
    const NetServicePlaces places(detection_.XEClientHome());
    platform::GuardedFiles& files = system_.Guarded();
    if (!system_.DirectoryExists(places.network)) files.CreateDirectory(places.network);
    if (!system_.DirectoryExists(places.admin)) files.CreateDirectory(places.admin);
    // A file already there may hold other entries: edit it instead of
    // writing the carried one over it.
    if (system_.FileExists(places.file) && EditNetServiceFile(files, places.file)) return true;
    // Extraction moves the finished file into place: a failed one leaves no
    // half-written file behind for the next run to edit. A link on the way
    // fails it as a file that cannot be created.
    carriedTnsnames_().ExtractToFile(places.file, files);
    return true;
  }
  if (detection_.DetectOracleHomes()) {
    detection_.ReadOracleHome();
    // A home that is no full path ("" when the value is missing) counts as a
    // home without the file: its path would lie under the current drive's
    // root, where any user may create it and link it elsewhere.
    if (!platform::IsFullPath(detection_.OracleHome())) return false;
    const std::string file = detection_.OracleHome() + kOtherHomeFile;
    return system_.FileExists(file) && EditNetServiceFile(system_.Guarded(), file);
  }
  return false;
}

void NetService::RemoveFromXEClientHome() {
  if (!platform::IsFullPath(detection_.XEClientHome())) return;
  const NetServicePlaces places(detection_.XEClientHome());
  if (!system_.DirectoryExists(places.admin)) return;
  platform::GuardedFiles& files = system_.Guarded();
  files.DeleteFile(places.file);
  files.RemoveDirectory(places.admin);
  files.RemoveDirectory(places.network);
}
