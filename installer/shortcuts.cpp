// Shell links (.lnk) that start a program, written through the shell's link object.
#include "installer/form_instalador.h"

void TFormInstalador::CreateShortcut(const std::string& target, const std::string& arguments,
                                     const std::string& workingFolder, const std::string& linkFileName,
                                     const std::string& linkFolder) {
  // An unknown folder (the shell could not name the desktop) is a missing one:
  // the link is skipped rather than written at the root of the current drive.
  if (linkFolder.empty()) return;
  Platform().CreateShellLink(target, arguments, workingFolder, linkFolder + "\\" + linkFileName);
}
