#include "input/refusal_alerts.h"

namespace hushpad {

AlertContent lockRefusedAlert(TapRefusal reason, const PlatformWording& wording) {
  switch (reason) {
    case TapRefusal::InputHeldElsewhere:
      return {"Hushpad could not lock the input",
              "Another application is holding the keyboard or the pointer. Try again in a moment.",
              {"OK"}};
    case TapRefusal::SessionCannotBeHeld:
      return {"Hushpad cannot lock the input here",
              "This is " + wording.sessionThatCannotBeHeld +
                  ", where one program cannot hold the keyboard and pointer of the others. Log "
                  "in to " +
                  wording.sessionThatCanBeHeld + " to use Hushpad.",
              {"OK"}};
    case TapRefusal::Privacy:
      break;
  }
  return {"Hushpad needs input permissions",
          "macOS blocked the event tap. Open System Settings and allow this app under Privacy & "
          "Security -> Accessibility and Input Monitoring, then relaunch it.",
          {"Open Settings", "Cancel"}};
}

AlertContent iconHiddenAlert(const PlatformWording& wording) {
  return {"Hushpad's icon is hidden",
          "Hushpad unlocks when you click its icon, or the mark it shows where you clicked to "
          "lock, and there is neither a click to go by nor an icon on screen right now (" +
              wording.whyTheIconIsHidden + "). Click the icon to lock, or " +
              wording.howToShowTheIcon + " first.",
          {"OK"}};
}

AlertContent secureKeyboardEntryAlert() {
  return {"Hushpad cannot lock the keyboard right now",
          "Another app has turned on secure keyboard entry (a password field, or Terminal's "
          "Secure Keyboard Entry), so keys would still reach it. Close that field or turn the "
          "option off, then lock again.",
          {"OK"}};
}

AlertContent unreadableBackupAlert(const PlatformWording& wording) {
  return {"Hushpad could not read its saved " + wording.inputDevice + " settings",
          "The settings saved before the last lock can't be read, so they were not put back and "
          "some gestures may stay off. Reset Gestures turns them back on with the system's "
          "standard values. The unreadable copy is kept.",
          {"Reset Gestures", "Keep As Is"}};
}

AlertContent settingsNotPutBackAlert(const PlatformWording& wording) {
  return {"Hushpad could not put your " + wording.inputDevice + " settings back yet",
          "The settings saved before the lock were not all taken back by the system (its "
          "settings service may not be running, or the disk may be full). They are kept, and "
          "Hushpad tries again at the next unlock and when it next starts.",
          {"OK"}};
}

AlertContent secureEntryTookKeyboardAlert() {
  return {"Hushpad unlocked: a password field took the keyboard",
          "While the lock was on, another app turned on secure keyboard entry (a password "
          "prompt, or Terminal's Secure Keyboard Entry), which hands keys to it past Hushpad. "
          "Rather than show a lock that no longer holds, Hushpad let go. Lock again once the "
          "prompt is gone.",
          {"OK"}};
}

}  // namespace hushpad
