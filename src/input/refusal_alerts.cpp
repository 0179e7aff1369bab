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

}  // namespace hushpad
