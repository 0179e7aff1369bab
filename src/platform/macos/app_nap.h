#pragma once
// Keeps App Nap away while the input is held: a throttled process answers its
// event tap late, and the system switches a late tap off. Main thread only.

namespace hushpad::macos {

class LatencyCriticalActivity {
 public:
  LatencyCriticalActivity() = default;
  LatencyCriticalActivity(const LatencyCriticalActivity&) = delete;
  LatencyCriticalActivity& operator=(const LatencyCriticalActivity&) = delete;
  ~LatencyCriticalActivity() { end(); }

  // Starts the activity; nothing when one is under way.
  void begin();
  void end();

 private:
  void* token_ = nullptr;  // the activity's token, retained
};

}  // namespace hushpad::macos
