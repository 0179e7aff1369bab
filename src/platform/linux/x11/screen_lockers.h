#pragma once
// Watching the X server for another program that wants the input (a screen
// locker or saver above all), so that Hushpad's grab never keeps it out, and
// for the moment it may have let the input go again. Main thread only; the
// entry point owns it. Nothing is watched (and nothing wakes the program)
// until watch() is given a listener.
//
// Signs that the input is wanted:
// - the server's idle time reaching a few seconds before the screen saver's
//   timeout (a SYNC IDLETIME alarm), for lockers that try their grab once,
//   when the saver starts;
// - the server's own screen saver turning on or cycling (the MIT-SCREEN-SAVER
//   extension: `xset s` timers and `xset s activate`, which xss-lock and the
//   lockers it starts follow);
// - another client asking for an active grab of the keyboard or pointer
//   (core GrabKeyboard and GrabPointer, XInput 2 XIGrabDevice), seen through
//   the RECORD extension, told with what it asked for and the kind of window
//   (the root window, a shield over a whole monitor): the listener judges
//   whether it looks like a locker's. This is the only sign xscreensaver gives
//   before it grabs.
// Signs that it may be free again: another client letting go of a grab
// (UngrabKeyboard, UngrabPointer, XIUngrabDevice), a client leaving the
// server, the screen saver turning off.

#include <X11/Xlib.h>
#include <X11/extensions/record.h>
#include <X11/extensions/sync.h>
#include <gdk/gdk.h>

#include <cstddef>
#include <vector>

#include "platform/linux/login_session.h"
#include "platform/session.h"

namespace hushpad::linux {

class XScreenLockerWatch final : public DisplayLockerSigns {
 public:
  explicit XScreenLockerWatch(GdkDisplay* display);
  ~XScreenLockerWatch() override;
  XScreenLockerWatch(const XScreenLockerWatch&) = delete;
  XScreenLockerWatch& operator=(const XScreenLockerWatch&) = delete;

  // Starts telling listener (once per start) or, with nullptr, stops.
  void watch(ScreenLockerListener* listener) override;

 private:
  static GdkFilterReturn filter(GdkXEvent* xevent, GdkEvent*, gpointer self);
  static gboolean recordReady(gint fd, GIOCondition, gpointer self);
  static void recorded(XPointer self, XRecordInterceptData* data);
  static gboolean notifyWanted(gpointer self);
  static gboolean notifyMayBeFree(gpointer self);
  // A grab request as RECORD showed it: the keyboard, or an XInput device
  // (-1: a core request) to be looked at later.
  struct AskedGrab {
    Window window;
    bool keyboard;
    int device;
  };
  static constexpr std::size_t kMaxAskedGrabs = 8;
  void grabAsked(AskedGrab grab);
  GrabRequest describe(const AskedGrab& grab) const;
  bool isKeyboardDevice(int device) const;
  bool isRootWindow(Window window) const;
  bool coversMonitor(Window window) const;
  void scheduleWanted();
  void startRecording();
  void stopRecording();
  void startIdleAlarm();
  void stopIdleAlarm();
  void inputWanted();
  void inputMayBeFree();

  GdkDisplay* display_;
  Display* x_;
  int saverEventBase_ = -1;   // -1: the server has no MIT-SCREEN-SAVER
  int syncEventBase_ = -1;    // -1: the server has no SYNC with an IDLETIME counter
  XSyncCounter idleTime_ = 0;
  XSyncAlarm idleAlarm_ = 0;
  int inputOpcode_ = -1;      // XInputExtension's major opcode, if any
  unsigned long ownClient_;   // this connection's resource-id base
  Display* recordData_ = nullptr;
  XRecordContext context_ = 0;
  guint recordSource_ = 0;
  guint pendingWanted_ = 0;
  guint pendingFree_ = 0;
  bool signGiven_ = false;
  std::vector<AskedGrab> askedGrabs_;
  ScreenLockerListener* listener_ = nullptr;
};

}  // namespace hushpad::linux
