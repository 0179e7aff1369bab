#include "platform/linux/x11/screen_lockers.h"

#include <X11/Xlib-xcb.h>
#include <X11/Xproto.h>
#include <X11/extensions/XI2proto.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/scrnsaver.h>
#include <gdk/gdkx.h>
#include <glib-unix.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <utility>

namespace hushpad::linux {

XScreenLockerWatch::XScreenLockerWatch(GdkDisplay* display)
    : display_(display),
      x_(GDK_DISPLAY_XDISPLAY(display)),
      ownClient_(xcb_get_setup(XGetXCBConnection(x_))->resource_id_base) {
  int errorBase = 0;
  if (!XScreenSaverQueryExtension(x_, &saverEventBase_, &errorBase)) saverEventBase_ = -1;
  int event = 0;
  int error = 0;
  if (!XQueryExtension(x_, "XInputExtension", &inputOpcode_, &event, &error)) inputOpcode_ = -1;
  int major = 0;
  int minor = 0;
  if (XSyncQueryExtension(x_, &syncEventBase_, &error) && XSyncInitialize(x_, &major, &minor)) {
    int count = 0;
    XSyncSystemCounter* counters = XSyncListSystemCounters(x_, &count);
    for (int i = 0; i < count; ++i) {
      if (std::strcmp(counters[i].name, "IDLETIME") == 0) idleTime_ = counters[i].counter;
    }
    if (counters != nullptr) XSyncFreeSystemCounterList(counters);
  }
  if (idleTime_ == 0) syncEventBase_ = -1;
}

namespace {

// How long before the screen saver's timeout the idle alarm rings: less than
// the grace it opens, so that the saver starts (and its locker with it) while
// the input is still free; signs during a grace do not extend it.
constexpr int kIdleWarningSeconds = 2;

}  // namespace

// Rings once each time the idle time rises past the mark; the timeout is read
// at each lock, so an `xset s` change counts from the next one.
void XScreenLockerWatch::startIdleAlarm() {
  int timeout = 0;
  int interval = 0;
  int preferBlanking = 0;
  int allowExposures = 0;
  XGetScreenSaver(x_, &timeout, &interval, &preferBlanking, &allowExposures);
  if (syncEventBase_ < 0 || timeout <= kIdleWarningSeconds) return;
  XSyncAlarmAttributes alarm{};
  alarm.trigger.counter = idleTime_;
  alarm.trigger.value_type = XSyncAbsolute;
  alarm.trigger.test_type = XSyncPositiveTransition;
  XSyncIntToValue(&alarm.trigger.wait_value, (timeout - kIdleWarningSeconds) * 1000);
  XSyncIntToValue(&alarm.delta, 0);
  idleAlarm_ = XSyncCreateAlarm(
      x_, XSyncCACounter | XSyncCAValueType | XSyncCATestType | XSyncCAValue | XSyncCADelta,
      &alarm);
}

void XScreenLockerWatch::stopIdleAlarm() {
  if (idleAlarm_ != 0) XSyncDestroyAlarm(x_, idleAlarm_);
  idleAlarm_ = 0;
}

XScreenLockerWatch::~XScreenLockerWatch() { watch(nullptr); }

void XScreenLockerWatch::watch(ScreenLockerListener* listener) {
  if ((listener != nullptr) == (listener_ != nullptr)) {
    listener_ = listener;
    return;
  }
  listener_ = listener;
  const Window root = DefaultRootWindow(x_);
  if (listener != nullptr) {
    if (saverEventBase_ >= 0) {
      XScreenSaverSelectInput(x_, root, ScreenSaverNotifyMask | ScreenSaverCycleMask);
    }
    gdk_window_add_filter(nullptr, filter, this);
    startIdleAlarm();
    startRecording();
  } else {
    if (saverEventBase_ >= 0) XScreenSaverSelectInput(x_, root, 0);
    gdk_window_remove_filter(nullptr, filter, this);
    stopIdleAlarm();
    stopRecording();
    for (guint* pending : {&pendingWanted_, &pendingFree_}) {
      if (*pending != 0) g_source_remove(*pending);
      *pending = 0;
    }
    signGiven_ = false;
    askedGrabs_.clear();
  }
  XFlush(x_);
}

GdkFilterReturn XScreenLockerWatch::filter(GdkXEvent* xevent, GdkEvent*, gpointer self) {
  auto* watch = static_cast<XScreenLockerWatch*>(self);
  const auto* event = static_cast<const XEvent*>(xevent);
  if (watch->syncEventBase_ >= 0 && event->type == watch->syncEventBase_ + XSyncAlarmNotify &&
      reinterpret_cast<const XSyncAlarmNotifyEvent*>(event)->alarm == watch->idleAlarm_) {
    watch->inputWanted();
  }
  if (watch->saverEventBase_ >= 0 && event->type == watch->saverEventBase_ + ScreenSaverNotify) {
    const auto* notify = reinterpret_cast<const XScreenSaverNotifyEvent*>(event);
    if (notify->state == ScreenSaverOn || notify->state == ScreenSaverCycle) watch->inputWanted();
    if (notify->state == ScreenSaverOff) watch->inputMayBeFree();
  }
  return GDK_FILTER_CONTINUE;
}

// RECORD wants a connection of its own for the data; the context is made and
// ended on GDK's.
void XScreenLockerWatch::startRecording() {
  int major = 0;
  int minor = 0;
  if (!XRecordQueryVersion(x_, &major, &minor)) return;
  recordData_ = XOpenDisplay(DisplayString(x_));
  if (recordData_ == nullptr) return;
  XRecordRange* ranges[2] = {XRecordAllocRange(), XRecordAllocRange()};
  // Each grab request is followed by its ungrab in the protocol's numbering.
  ranges[0]->core_requests.first = X_GrabPointer;
  ranges[0]->core_requests.last = X_UngrabPointer;
  ranges[0]->client_died = True;
  ranges[1]->core_requests.first = X_GrabKeyboard;
  ranges[1]->core_requests.last = X_UngrabKeyboard;
  if (inputOpcode_ >= 0) {
    ranges[1]->ext_requests.ext_major = {static_cast<unsigned char>(inputOpcode_),
                                         static_cast<unsigned char>(inputOpcode_)};
    ranges[1]->ext_requests.ext_minor = {X_XIGrabDevice, X_XIUngrabDevice};
  }
  XRecordClientSpec clients = XRecordAllClients;
  context_ = XRecordCreateContext(x_, 0, &clients, 1, ranges, 2);
  XFree(ranges[0]);
  XFree(ranges[1]);
  XSync(x_, False);
  if (context_ == 0 ||
      !XRecordEnableContextAsync(recordData_, context_, recorded, reinterpret_cast<XPointer>(this))) {
    stopRecording();
    return;
  }
  recordSource_ = g_unix_fd_add(ConnectionNumber(recordData_), G_IO_IN, recordReady, this);
  XRecordProcessReplies(recordData_);
}

void XScreenLockerWatch::stopRecording() {
  if (recordSource_ != 0) g_source_remove(recordSource_);
  recordSource_ = 0;
  if (context_ != 0) {
    XRecordDisableContext(x_, context_);
    XRecordFreeContext(x_, context_);
    XSync(x_, False);
  }
  context_ = 0;
  if (recordData_ != nullptr) XCloseDisplay(recordData_);
  recordData_ = nullptr;
}

gboolean XScreenLockerWatch::recordReady(gint, GIOCondition, gpointer self) {
  auto* watch = static_cast<XScreenLockerWatch*>(self);
  XRecordProcessReplies(watch->recordData_);
  return G_SOURCE_CONTINUE;
}

namespace {

std::uint32_t card32At(const unsigned char* data, std::size_t offset, bool swapped) {
  std::uint32_t value = 0;
  std::memcpy(&value, data + offset, sizeof value);
  return swapped ? __builtin_bswap32(value) : value;
}

std::uint16_t card16At(const unsigned char* data, std::size_t offset, bool swapped) {
  std::uint16_t value = 0;
  std::memcpy(&value, data + offset, sizeof value);
  return swapped ? __builtin_bswap16(value) : value;
}

}  // namespace

// A grab asked for or let go by another client, or a client gone; this
// program's own grabs are its business. What the grab was for is looked at
// from the main loop.
void XScreenLockerWatch::recorded(XPointer self, XRecordInterceptData* data) {
  auto* watch = reinterpret_cast<XScreenLockerWatch*>(self);
  if (data->category == XRecordClientDied) watch->inputMayBeFree();
  // data_len counts 4-byte units.
  const std::size_t bytes = static_cast<std::size_t>(data->data_len) * 4;
  if (data->category == XRecordFromClient && bytes >= 4 && data->id_base != watch->ownClient_) {
    const unsigned char* request = data->data;
    const bool swapped = data->client_swapped != 0;
    const unsigned char major = request[0];
    const unsigned char minor = request[1];
    const bool input = watch->inputOpcode_ >= 0 && major == watch->inputOpcode_;
    // GrabPointer and GrabKeyboard: the window at byte 4; XIGrabDevice: the
    // window at 4 and the device at 16.
    if ((major == X_GrabPointer || major == X_GrabKeyboard) && bytes >= 8) {
      watch->grabAsked({card32At(request, 4, swapped), major == X_GrabKeyboard, -1});
    } else if (input && minor == X_XIGrabDevice && bytes >= 18) {
      watch->grabAsked({card32At(request, 4, swapped), false, card16At(request, 16, swapped)});
    }
    if (major == X_UngrabPointer || major == X_UngrabKeyboard ||
        (input && minor == X_XIUngrabDevice)) {
      watch->inputMayBeFree();
    }
  }
  XRecordFreeData(data);
}

void XScreenLockerWatch::grabAsked(AskedGrab grab) {
  if (listener_ == nullptr) return;
  // A client that asks again and again is judged by the last few requests.
  if (askedGrabs_.size() >= kMaxAskedGrabs) askedGrabs_.erase(askedGrabs_.begin());
  askedGrabs_.push_back(grab);
  scheduleWanted();
}

bool XScreenLockerWatch::isKeyboardDevice(int device) const {
  int count = 0;
  XIDeviceInfo* info = XIQueryDevice(x_, device, &count);
  bool keyboard = false;
  for (int i = 0; i < count; ++i) {
    keyboard = keyboard || info[i].use == XIMasterKeyboard || info[i].use == XISlaveKeyboard;
  }
  if (info != nullptr) XIFreeDeviceInfo(info);
  return keyboard;
}

// A mapped override-redirect window over the whole of some monitor, in the
// server's pixels.
bool XScreenLockerWatch::coversMonitor(Window window) const {
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(x_, window, &attributes) == 0) return false;
  if (attributes.override_redirect == 0 || attributes.map_state != IsViewable) return false;
  int x = 0;
  int y = 0;
  Window child = 0;
  if (!XTranslateCoordinates(x_, window, attributes.root, 0, 0, &x, &y, &child)) return false;
  const int count = gdk_display_get_n_monitors(display_);
  for (int i = 0; i < count; ++i) {
    GdkMonitor* monitor = gdk_display_get_monitor(display_, i);
    GdkRectangle area{};
    gdk_monitor_get_geometry(monitor, &area);
    const int scale = gdk_monitor_get_scale_factor(monitor);
    const int left = area.x * scale;
    const int top = area.y * scale;
    if (x <= left && y <= top && x + attributes.width >= left + area.width * scale &&
        y + attributes.height >= top + area.height * scale) {
      return true;
    }
  }
  return false;
}

bool XScreenLockerWatch::isRootWindow(Window window) const {
  for (int screen = 0; screen < ScreenCount(x_); ++screen) {
    if (RootWindow(x_, screen) == window) return true;
  }
  return false;
}

GrabRequest XScreenLockerWatch::describe(const AskedGrab& grab) const {
  GrabRequest request;
  // The window or device may be gone by now: the request then says less.
  gdk_x11_display_error_trap_push(display_);
  request.keyboard = grab.keyboard || (grab.device >= 0 && isKeyboardDevice(grab.device));
  request.onRootWindow = isRootWindow(grab.window);
  request.onMonitorCover = !request.onRootWindow && coversMonitor(grab.window);
  gdk_x11_display_error_trap_pop_ignored(display_);
  return request;
}

// Told from the main loop, not from inside the filter or RECORD's reply
// processing, which the listener's grab or ungrab would reenter.
void XScreenLockerWatch::inputWanted() {
  if (listener_ == nullptr) return;
  signGiven_ = true;
  scheduleWanted();
}

void XScreenLockerWatch::scheduleWanted() {
  if (pendingWanted_ == 0) {
    pendingWanted_ = g_idle_add_full(G_PRIORITY_HIGH, notifyWanted, this, nullptr);
  }
}

// Later than the X server's own handling of the request that set it off:
// the ungrab is done by the time the listener tries its grab.
void XScreenLockerWatch::inputMayBeFree() {
  if (pendingFree_ == 0 && listener_ != nullptr) {
    pendingFree_ = g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, notifyMayBeFree, this, nullptr);
  }
}

gboolean XScreenLockerWatch::notifyWanted(gpointer self) {
  auto* watch = static_cast<XScreenLockerWatch*>(self);
  watch->pendingWanted_ = 0;
  const bool signGiven = std::exchange(watch->signGiven_, false);
  std::vector<AskedGrab> grabs = std::exchange(watch->askedGrabs_, {});
  // The listener may stop the watch as it is told: each step asks again.
  if (signGiven && watch->listener_ != nullptr) watch->listener_->inputWantedElsewhere();
  for (const AskedGrab& grab : grabs) {
    if (watch->listener_ != nullptr) watch->listener_->grabRequested(watch->describe(grab));
  }
  return G_SOURCE_REMOVE;
}

gboolean XScreenLockerWatch::notifyMayBeFree(gpointer self) {
  auto* watch = static_cast<XScreenLockerWatch*>(self);
  watch->pendingFree_ = 0;
  if (watch->listener_ != nullptr) watch->listener_->inputMayBeFree();
  return G_SOURCE_REMOVE;
}

}  // namespace hushpad::linux
