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

AlertContent iconHiddenAlert() {
  return {"Hushpad's icon is hidden",
          "Hushpad unlocks only when you click its icon in the menu bar, and the icon is hidden "
          "right now (behind the camera housing or by a menu bar manager). Make room in the menu "
          "bar, then lock again.",
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

}  // namespace hushpad
