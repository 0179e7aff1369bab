#pragma once
// The login session around a lock: keys the session acts on by itself, past
// any grab or tap, and other programs that want the input (screen lockers
// above all), which must always get it. Main thread only; the entry point
// owns the session for the life of the process.

namespace hushpad {

// Another program's request to hold the input, as the display server saw it:
// what it asked for and for which window.
struct GrabRequest {
  bool keyboard = false;
  bool onRootWindow = false;
  // A mapped window that the window manager does not manage (override-
  // redirect) and that covers a whole monitor: a locker's shield.
  bool onMonitorCover = false;
};

// Told of other programs and the input: facts only, the listener decides.
class ScreenLockerListener {
 public:
  virtual ~ScreenLockerListener() = default;
  // A sign that a screen locker or saver is about to take the input: the
  // session asked to lock, going idle, the screen saver starting or nearing
  // its timeout. Any program can cause most of these.
  virtual void inputWantedElsewhere() = 0;
  // The machine is about to sleep (said only by the login manager).
  virtual void machineGoingToSleep() = 0;
  // Another program asked to hold the input (it may have been refused).
  virtual void grabRequested(const GrabRequest& request) = 0;
  // Another program took the input: it no longer reaches this one.
  virtual void inputTakenElsewhere() = 0;
  // Something changed that may have let the input go: a grab let go, a
  // program gone, the screen saver off.
  virtual void inputMayBeFree() = 0;
};

class LoginSession {
 public:
  virtual ~LoginSession() = default;
  // Keeps the power, suspend and hibernate keys from acting until
  // releasePowerKeys() or the end of the process. Where the session cannot
  // or will not, nothing is held and nothing is said.
  virtual void holdPowerKeys() = 0;
  virtual void releasePowerKeys() = 0;
  // Starts telling listener about screen lockers, or stops with nullptr.
  virtual void watchScreenLockers(ScreenLockerListener* listener) = 0;
};

}  // namespace hushpad
