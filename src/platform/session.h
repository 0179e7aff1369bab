#pragma once
// The login session around a lock: keys the session acts on by itself, past
// any grab or tap, and other programs that want the input (screen lockers
// above all), which must always get it. Main thread only; the entry point
// owns the session for the life of the process.

namespace hushpad {

// Told of other programs and the input: facts only, the listener decides.
class ScreenLockerListener {
 public:
  virtual ~ScreenLockerListener() = default;
  // A sign that another program is about to take the input: a screen locker
  // or saver starting, the session going idle or to sleep, a program asking
  // for a grab.
  virtual void inputWantedElsewhere() = 0;
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
