// The product's net service entry in the found Oracle client's tnsnames.ora.
#include "oracle/net_service.h"

#include <optional>
#include <string>
#include <vector>

#include "framework/errors.h"
#include "framework/paths.h"
#include "oracle/texts.h"
#include "oracle/tnsnames.h"
#include "storage/mxStorage.h"

namespace {

constexpr char kOtherHomeFile[] = "\\network\\ADMIN\\tnsnames.ora";

std::string InHome(const std::string& home, const std::string& suffix) {
  if (!home.empty() && home.back() == '\\') return home + suffix;
  return home + "\\" + suffix;
}

enum class Edit { Done, Unreadable, NotText };

// Puts the entry into an existing file. The file is replaced in one step, so
// a failed write leaves the user's entries as they were, and keeps its own
// permissions. Under an Oracle home another user may have put a link:
// nothing is read or written through one, and a file with a second name is
// not read (Unreadable). A file with text after a NUL is not rewritten:
// reading stops at the NUL, and what follows would be lost.
Edit EditNetServiceFile(platform::GuardedFiles& files, const std::string& path) {
  const std::optional<std::vector<uint8_t>> bytes = files.ReadFile(path);
  if (!bytes) return Edit::Unreadable;
  const std::string text(bytes->begin(), bytes->end());
  if (tnsnames::HasTextAfterNul(text)) return Edit::NotText;
  const std::string edited = tnsnames::SetNetServiceEntry(text, INSTALADOR_DB_HOST);
  files.ReplaceContent(path, std::vector<uint8_t>(edited.begin(), edited.end()));
  return Edit::Done;
}

// Gives a file that cannot be edited the first free name "<file>.<n>.bak"
// beside it, so the carried file can take its place and nothing of the
// user's is lost. The move never takes another file's place; false when the
// file could not be moved at all (it is then left where it is).
bool KeepAside(platform::GuardedFiles& files, const std::string& path) {
  constexpr int kMostKeptCopies = 999;
  for (int n = 1; n <= kMostKeptCopies; ++n) {
    switch (files.Rename(path, path + "." + std::to_string(n) + ".bak")) {
      case platform::MoveResult::Moved:
        return true;
      case platform::MoveResult::NameTaken:
        continue;
      case platform::MoveResult::Failed:
        return false;
    }
  }
  return false;
}

}  // namespace

NetServicePlaces::NetServicePlaces(const std::string& xeClientHome)
    : network(InHome(xeClientHome, "NETWORK")),
      admin(InHome(xeClientHome, "NETWORK\\ADMIN")),
      file(InHome(xeClientHome, "NETWORK\\ADMIN\\tnsnames.ora")) {}

bool NetService::ConfigureNetService() {
  whyNotPlaced_.clear();
  platform::GuardedFiles& files = system_.Guarded();
  if (detection_.DetectXEClient()) {
    // Known only by its uninstall entry, or by a home that is no full path:
    // nowhere safe to write (a path built from it would count from the
    // current drive or folder, which another user may have prepared). The
    // client is there all the same, which is what the caller asks; that the
    // entry is missing is the caller's to tell.
    if (!IsFullPath(detection_.XEClientHome())) {
      whyNotPlaced_ = texts::kXEHomeUnknown;
      return true;
    }
    const NetServicePlaces places(detection_.XEClientHome());
    if (RefusedHome(files, detection_.XEClientHome(), places.file)) return true;
    // What is made under the home is the installer's own: nobody else may
    // change where the product's logins go.
    constexpr auto kOurs = platform::Protection::UsersReadOnly;
    if (!system_.DirectoryExists(places.network)) files.CreateFolder(places.network, kOurs);
    if (!system_.DirectoryExists(places.admin)) files.CreateFolder(places.admin, kOurs);
    // A file already there may hold other entries: edit it instead of
    // writing the carried one over it. One that is not text, or has a
    // second name, is kept beside it, and the carried file takes its place.
    if (system_.FileExists(places.file)) {
      const Edit edit = EditNetServiceFile(files, places.file);
      if (edit == Edit::Done) return true;
      if (!KeepAside(files, places.file)) {
        if (edit == Edit::NotText) throw EReadError(Format(texts::kNotATextFile, places.file.c_str()));
        // Written over, its other name would lose its entries.
        whyNotPlaced_ = Format(texts::kFileWithSecondName, detection_.XEClientHome().c_str());
        return true;
      }
    }
    // Extraction moves the finished file into place: a failed one leaves no
    // half-written file behind for the next run to edit. A link on the way
    // fails it as a file that cannot be created.
    platform::ProtectedFiles ours(files, kOurs);
    carriedTnsnames_().ExtractToFile(places.file, ours);
    createdFile_ = places.file;
    return true;
  }
  if (detection_.DetectOracleHomes()) {
    detection_.ReadOracleHome();
    const std::string& home = detection_.OracleHome();
    // A home that is no full path ("" when the value is missing) counts as a
    // home without the file: its path would lie under the current drive's
    // root, where any user may create it and link it elsewhere.
    if (!IsFullPath(home)) return false;
    const std::string file = home + kOtherHomeFile;
    if (RefusedHome(files, home, file)) return true;
    if (!system_.FileExists(file)) return false;
    switch (EditNetServiceFile(files, file)) {
      case Edit::Done:
        return true;
      case Edit::NotText:
        throw EReadError(Format(texts::kNotATextFile, file.c_str()));
      case Edit::Unreadable:
        whyNotPlaced_ = Format(texts::kFileWithSecondName, home.c_str());
        return true;
    }
  }
  return false;
}

// A registered client whose home is refused is no missing client: another
// one would be installed beside it. The user is told instead.
bool NetService::RefusedHome(platform::GuardedFiles& files, const std::string& home, const std::string& file) {
  const std::optional<std::string> link = files.RefusedLink(file);
  if (!link) return false;
  whyNotPlaced_ = Format(texts::kHomeBehindLink, home.c_str(), link->c_str());
  return true;
}

void NetService::RemoveFromXEClientHome() {
  if (!IsFullPath(detection_.XEClientHome())) return;
  const NetServicePlaces places(detection_.XEClientHome());
  if (!system_.DirectoryExists(places.admin)) return;
  platform::GuardedFiles& files = system_.Guarded();
  // Only the file this run wrote: one that was there before holds the user's
  // entries (this run edited it), and a copy kept beside it is the user's.
  if (places.file == createdFile_) files.RemoveFile(places.file);
  files.RemoveFolder(places.admin);
  files.RemoveFolder(places.network);
}
