#pragma once
// The login session around a lock: keys the session acts on by itself, past
// any grab or tap, and screen lockers, which must always win. Main thread
// only; the entry point owns the session for the life of the process.

namespace hushpad {

// Told when a screen locker or saver is about to take the screen.
class ScreenLockerListener {
 public:
  virtual ~ScreenLockerListener() = default;
  virtual void screenLockerStarting() = 0;
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
