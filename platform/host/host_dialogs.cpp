// The host machine's message dialogs and message loop, as a test scripts them:
// dialogs answered from a queue or a callback, and only with what their buttons
// can give.
#include "platform/host/host_platform.h"

#include <stdexcept>

namespace platform {

void HostPlatform::QueueDialogAnswers(std::initializer_list<int> answers) {
  dialogAnswers_.insert(dialogAnswers_.end(), answers.begin(), answers.end());
}

int HostPlatform::MessageDialog(const std::string& text, DialogType type, DialogButtons buttons) {
  DialogRecord record{text, type, buttons, kIdCancel};
  if (!terminating_) {
    if (!dialogAnswers_.empty()) {
      record.answer = dialogAnswers_.front();
      dialogAnswers_.pop_front();
    } else if (dialogCallback_) {
      record.answer = dialogCallback_(record);
    } else {
      throw std::logic_error("unscripted message dialog: " + text);
    }
    // Only what the dialog's buttons and its close box can give.
    const bool possible = record.answer == kIdCancel || (buttons == DialogButtons::Ok && record.answer == kIdOk) ||
                          (buttons == DialogButtons::YesNo && (record.answer == kIdYes || record.answer == kIdNo));
    if (!possible) throw std::logic_error("impossible dialog answer " + std::to_string(record.answer) + ": " + text);
  }
  dialogs_.push_back(record);
  return record.answer;
}

void HostPlatform::ProcessMessages() {
  ++processMessagesCalls_;
  if (processMessagesHook_) processMessagesHook_();
}

}  // namespace platform
