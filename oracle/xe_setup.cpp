// The decision flow behind EnsureOracleClient, the carried setup's start (in
// a temporary folder of its own) and finish.
#include "oracle/xe_setup.h"

#include "framework/errors.h"
#include "framework/streams.h"
#include "oracle/texts.h"
#include "oracle/tnsnames.h"
#include "storage/mxStorage.h"

using platform::DialogButtons;
using platform::DialogType;

namespace {

// Said before the window closes (a dialog after that answers at once): the
// client is there, but the product cannot reach its database until the
// entry is added by hand.
void TellWhenTheEntryIsMissing(platform::Platform& system, const NetService& netService) {
  if (netService.EntryPlaced()) return;
  system.MessageDialog(Format(texts::kNetServiceEntryNotPlaced, netService.WhyNotPlaced().c_str(), INSTALADOR_DB_HOST,
                              tnsnames::AppendedLine(INSTALADOR_DB_HOST).c_str()),
                       DialogType::Information, DialogButtons::Ok);
}

}  // namespace

bool XESetup::EnsureOracleClient(const Place& place) {
  if (detection_.DetectXEClient() || detection_.DetectOracleHomes()) {
    if (netService_.ConfigureNetService()) {
      TellWhenTheEntryIsMissing(system_, netService_);
      return true;
    }
    system_.MessageDialog(texts::kNoValidOracleClient, DialogType::Error, DialogButtons::Ok);
  }

  StartSetup(place);
  bool configured = false;
  // The setup runs beside us; only the user knows when it has finished, and
  // each Yes looks at the registry afresh.
  while (system_.MessageDialog(texts::kWaitForOracleSetup, DialogType::Confirmation, DialogButtons::YesNo) ==
         platform::kIdYes) {
    if (netService_.ConfigureNetService()) {
      configured = true;
      TellWhenTheEntryIsMissing(system_, netService_);
      break;
    }
  }
  if (!configured) owner_.rollBack();
  FinishSetup(place);
  return configured;
}

void XESetup::StartSetup(const Place& place) {
  carriedSetup_().ExtractToFile(place.program, system_);
  // It runs elevated, and setups unpack to %TEMP% and load DLLs from there:
  // a folder of its own, new, under a name nobody can guess, that only
  // administrators may use, in the product folder (never the user's TEMP).
  RemoveSetupTemp();
  const std::string temp = place.folder + "\\~OracleXE-" + UnpredictableName();
  system_.CreatePrivateDirectory(temp);
  setupTemp_ = temp;
  // Named as the program to run, not parsed from a command line: with the
  // blanks of "Program Files" an unquoted line could start another program.
  // It starts in the product folder, not in ours (often Downloads), from the
  // machine's environment, not the user's.
  system_.StartProgram(place.program, place.folder, {{"TEMP", temp}, {"TMP", temp}});
}

void XESetup::RemoveSetupTemp() {
  if (setupTemp_.empty()) return;
  system_.RemoveDirectoryTree(setupTemp_);
  setupTemp_.clear();
}

void XESetup::FinishSetup(const Place& place) {
  // Still running from that file, it cannot be deleted: left for the user.
  system_.RemoveFile(place.program);
  RemoveSetupTemp();
  // The installer's work ends with the setup: closing the main window ends
  // the program once the sequence returns.
  owner_.closeWindow();
}
