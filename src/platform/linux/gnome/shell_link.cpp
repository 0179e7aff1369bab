#include "platform/linux/gnome/shell_link.h"

#include <algorithm>
#include <cstdio>

namespace hushpad::linux {
namespace {

constexpr const char* kShellName = "org.gnome.Shell";
constexpr int kProbeTimeoutMs = 1000;
constexpr int kLockTimeoutMs = 2000;

constexpr const char* kProgramXml = R"xml(<node>
  <interface name="app.hushpad.Hushpad.Program1">
    <method name="Hello">
      <arg name="version" type="u" direction="in"/>
      <arg name="monitors" type="a(dddd)" direction="in"/>
      <arg name="item" type="(dddd)" direction="in"/>
      <arg name="programVersion" type="u" direction="out"/>
    </method>
    <method name="Monitors"><arg name="monitors" type="a(dddd)" direction="in"/></method>
    <method name="ItemFrame"><arg name="item" type="(dddd)" direction="in"/></method>
    <method name="ItemReleased">
      <arg name="button" type="u" direction="in"/>
      <arg name="x" type="d" direction="in"/><arg name="y" type="d" direction="in"/>
    </method>
    <method name="CoverReleased">
      <arg name="button" type="u" direction="in"/>
      <arg name="x" type="d" direction="in"/><arg name="y" type="d" direction="in"/>
    </method>
    <method name="MenuActivated">
      <arg name="index" type="u" direction="in"/>
      <arg name="x" type="d" direction="in"/><arg name="y" type="d" direction="in"/>
    </method>
    <method name="Ping"/>
    <method name="LetGo"><arg name="reason" type="s" direction="in"/></method>
  </interface>
</node>)xml";

GDBusNodeInfo* programInfo() {
  static GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(kProgramXml, nullptr);
  return info;
}

GVariant* bytesVariant(const std::vector<std::uint8_t>& bytes) {
  return g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, bytes.data(), bytes.size(), 1);
}

std::optional<PixelRect> readRect(GVariant* rect) {
  PixelRect r;
  g_variant_get(rect, "(dddd)", &r.x, &r.y, &r.width, &r.height);
  if (r.width <= 0 || r.height <= 0) return std::nullopt;
  return r;
}

std::string nameOwner(GDBusConnection* bus, const char* name) {
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
      "GetNameOwner", g_variant_new("(s)", name), G_VARIANT_TYPE("(s)"),
      G_DBUS_CALL_FLAGS_NONE, kProbeTimeoutMs, nullptr, nullptr);
  if (reply == nullptr) return {};
  const gchar* owner = nullptr;
  g_variant_get(reply, "(&s)", &owner);
  std::string result = owner;
  g_variant_unref(reply);
  return result;
}

}  // namespace

bool isGnomeDesktop(const char* xdgCurrentDesktop) {
  if (xdgCurrentDesktop == nullptr) return false;
  const std::string desktops = xdgCurrentDesktop;
  std::size_t start = 0;
  while (start <= desktops.size()) {
    const std::size_t end = std::min(desktops.find(':', start), desktops.size());
    if (desktops.compare(start, end - start, "GNOME") == 0) return true;
    start = end + 1;
  }
  return false;
}

std::string gnomeExtensionAdvice(int shellMajorVersion) {
  const bool legacy = shellMajorVersion == 43 || shellMajorVersion == 44;
  const bool known = legacy || shellMajorVersion >= 45;
  std::string advice =
      "Hushpad locks the input on GNOME through its own GNOME Shell extension, which is not "
      "enabled. Enable it with:\n\n";
  if (!known || !legacy) advice += std::string("    gnome-extensions enable ") + kExtensionUuid + "\n";
  if (!known) advice += "(GNOME 45 and later), or on GNOME 43 and 44:\n";
  if (!known || legacy) {
    advice += std::string("    gnome-extensions enable ") + kLegacyExtensionUuid + "\n";
  }
  advice += "\nthen start Hushpad again.";
  if (!known || legacy) {
    advice +=
        " GNOME Shell 43 and 44 on Wayland find a newly installed extension only at login: "
        "if the command says the extension does not exist, log out and in again first.";
  }
  advice +=
      " Without Hushpad's package, install the extension from its zip first "
      "(gnome-extensions install UUID.shell-extension.zip).\n";
  return advice;
}

ShellLink::ShellLink(GDBusConnection* bus)
    : bus_(static_cast<GDBusConnection*>(g_object_ref(bus))) {}

ShellLink::~ShellLink() {
  if (held_) unlock();
  if (shellWatch_ != 0) g_bus_unwatch_name(shellWatch_);
  if (objectId_ != 0) g_dbus_connection_unregister_object(bus_, objectId_);
  if (nameOwned_) {
    g_dbus_connection_call_sync(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                "org.freedesktop.DBus", "ReleaseName",
                                g_variant_new("(s)", kProgramBusName), nullptr,
                                G_DBUS_CALL_FLAGS_NONE, kProbeTimeoutMs, nullptr, nullptr);
  }
  g_dbus_connection_flush_sync(bus_, nullptr, nullptr);
  g_object_unref(bus_);
}

ShellLink::Start ShellLink::start() {
  static const GDBusInterfaceVTable vtable{methodCall, nullptr, nullptr, {}};
  objectId_ = g_dbus_connection_register_object(bus_, kProgramPath, programInfo()->interfaces[0],
                                                &vtable, this, nullptr, nullptr);
  // The name is also the one-Hushpad-per-session claim: no queueing for it.
  GVariant* reply = g_dbus_connection_call_sync(
      bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
      "RequestName", g_variant_new("(su)", kProgramBusName, 4u /* DO_NOT_QUEUE */),
      G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, kProbeTimeoutMs, nullptr, nullptr);
  guint32 answer = 0;
  if (reply != nullptr) {
    g_variant_get(reply, "(u)", &answer);
    g_variant_unref(reply);
  }
  if (answer != 1 /* PRIMARY_OWNER */) {
    g_dbus_connection_unregister_object(bus_, objectId_);
    objectId_ = 0;
    return Start::NameTaken;
  }
  nameOwned_ = true;
  shellOwner_ = nameOwner(bus_, kShellName);
  GVariant* version = nullptr;
  if (!shellOwner_.empty()) {
    version = g_dbus_connection_call_sync(bus_, shellOwner_.c_str(), kExtensionPath,
                                          kExtensionInterface, "GetVersion", nullptr,
                                          G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE,
                                          kProbeTimeoutMs, nullptr, nullptr);
  }
  guint32 extensionVersion = 0;
  if (version != nullptr) {
    g_variant_get(version, "(u)", &extensionVersion);
    g_variant_unref(version);
  }
  if (extensionVersion != kShellInterfaceVersion) {
    if (extensionVersion != 0) {
      std::fprintf(stderr,
                   "Hushpad: the GNOME Shell extension speaks version %u, this program %u: "
                   "install the extension that came with this program.\n",
                   extensionVersion, kShellInterfaceVersion);
    }
    g_dbus_connection_unregister_object(bus_, objectId_);
    objectId_ = 0;
    g_dbus_connection_call_sync(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                "org.freedesktop.DBus", "ReleaseName",
                                g_variant_new("(s)", kProgramBusName), nullptr,
                                G_DBUS_CALL_FLAGS_NONE, kProbeTimeoutMs, nullptr, nullptr);
    return Start::NoExtension;
  }
  present_ = true;
  shellWatch_ = g_bus_watch_name_on_connection(bus_, kShellName, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                               shellAppeared, shellVanished, this, nullptr);
  return Start::Linked;
}

int ShellLink::shellMajorVersion() {
  GVariant* reply = g_dbus_connection_call_sync(
      bus_, kShellName, "/org/gnome/Shell", "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", kShellName, "ShellVersion"), G_VARIANT_TYPE("(v)"),
      G_DBUS_CALL_FLAGS_NONE, kProbeTimeoutMs, nullptr, nullptr);
  if (reply == nullptr) return 0;
  GVariant* value = nullptr;
  g_variant_get(reply, "(v)", &value);
  int major = 0;
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
    major = static_cast<int>(g_ascii_strtoll(g_variant_get_string(value, nullptr), nullptr, 10));
  }
  g_variant_unref(value);
  g_variant_unref(reply);
  return major;
}

void ShellLink::shellAppeared(GDBusConnection*, const gchar*, const gchar* owner, gpointer self) {
  auto* link = static_cast<ShellLink*>(self);
  if (link->shellOwner_ == owner) return;
  // Another Shell: its extension says Hello when it is ready.
  if (link->present_) link->gone(ShellLetGo::Vanished);
  link->shellOwner_ = owner;
}

void ShellLink::shellVanished(GDBusConnection*, const gchar*, gpointer self) {
  auto* link = static_cast<ShellLink*>(self);
  link->shellOwner_.clear();
  if (link->present_) link->gone(ShellLetGo::Vanished);
}

void ShellLink::gone(ShellLetGo reason) {
  present_ = reason == ShellLetGo::Watchdog;
  held_ = false;
  if (handlers_.letGo) handlers_.letGo(reason);
}

void ShellLink::methodCall(GDBusConnection*, const gchar* sender, const gchar*, const gchar*,
                           const gchar* method, GVariant* parameters,
                           GDBusMethodInvocation* invocation, gpointer self) {
  auto* link = static_cast<ShellLink*>(self);
  if (link->shellOwner_.empty() || g_strcmp0(sender, link->shellOwner_.c_str()) != 0) {
    g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.AccessDenied",
                                               "only GNOME Shell may call Hushpad");
    return;
  }
  link->handle(method, parameters, invocation);
}

void ShellLink::handle(const gchar* method, GVariant* parameters,
                       GDBusMethodInvocation* invocation) {
  const std::string name = method;
  if (name == "Hello") {
    guint32 version = 0;
    GVariant* monitors = nullptr;
    GVariant* item = nullptr;
    g_variant_get(parameters, "(u@a(dddd)@(dddd))", &version, &monitors, &item);
    if (version != kShellInterfaceVersion) {
      g_variant_unref(monitors);
      g_variant_unref(item);
      g_dbus_method_invocation_return_dbus_error(invocation,
                                                 "app.hushpad.Hushpad.Error.Version",
                                                 "another version of the interface");
      return;
    }
    readMonitors(monitors);
    itemFrame_ = readRect(item);
    g_variant_unref(monitors);
    g_variant_unref(item);
    g_dbus_method_invocation_return_value(invocation,
                                          g_variant_new("(u)", kShellInterfaceVersion));
    const bool wasAway = !present_;
    present_ = true;
    sendItem();
    if (handlers_.monitorsChanged) handlers_.monitorsChanged();
    if (wasAway && handlers_.returned) handlers_.returned();
    return;
  }
  g_dbus_method_invocation_return_value(invocation, nullptr);
  if (name == "Monitors") {
    GVariant* monitors = g_variant_get_child_value(parameters, 0);
    readMonitors(monitors);
    g_variant_unref(monitors);
    if (handlers_.monitorsChanged) handlers_.monitorsChanged();
  } else if (name == "ItemFrame") {
    GVariant* item = g_variant_get_child_value(parameters, 0);
    itemFrame_ = readRect(item);
    g_variant_unref(item);
  } else if (name == "ItemReleased" || name == "CoverReleased" || name == "MenuActivated") {
    guint32 number = 0;
    double x = 0;
    double y = 0;
    g_variant_get(parameters, "(udd)", &number, &x, &y);
    readPointer(x, y);
    if (name == "ItemReleased" && handlers_.itemReleased) handlers_.itemReleased(number);
    if (name == "CoverReleased" && held_ && handlers_.coverReleased) {
      handlers_.coverReleased(number, Point{x, y});
    }
    if (name == "MenuActivated" && handlers_.menuActivated) handlers_.menuActivated(number);
  } else if (name == "LetGo") {
    const gchar* reason = nullptr;
    g_variant_get(parameters, "(&s)", &reason);
    const std::string why = reason;
    gone(why == "watchdog"        ? ShellLetGo::Watchdog
         : why == "screen-shield" ? ShellLetGo::ScreenShield
                                  : ShellLetGo::Disabled);
  }
  // Ping: the answer is all.
}

void ShellLink::readMonitors(GVariant* monitors) {
  GVariantIter iter;
  g_variant_iter_init(&iter, monitors);
  std::size_t count = 0;
  PixelRect r;
  while (g_variant_iter_next(&iter, "(dddd)", &r.x, &r.y, &r.width, &r.height)) {
    if (count < monitors_.size()) monitors_[count] = r;
    ++count;
  }
  monitorCount_ = std::min(count, monitors_.size());
}

void ShellLink::readPointer(double x, double y) { pointer_ = Point{x, y}; }

void ShellLink::call(const char* method, GVariant* parameters) {
  if (shellOwner_.empty()) {
    if (parameters != nullptr) g_variant_unref(g_variant_ref_sink(parameters));
    return;
  }
  g_dbus_connection_call(bus_, shellOwner_.c_str(), kExtensionPath, kExtensionInterface, method,
                         parameters, nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr,
                         nullptr);
}

void ShellLink::setItem(std::vector<std::uint8_t> png, const std::string& toolTip,
                        const std::string& label) {
  itemPng_ = std::move(png);
  toolTip_ = toolTip;
  label_ = label;
  sendItem();
}

void ShellLink::sendItem() {
  if (!present_) return;
  call("SetItem", g_variant_new("(@ayss)", bytesVariant(itemPng_), toolTip_.c_str(),
                                label_.c_str()));
}

void ShellLink::openMenu(const std::vector<MenuEntry>& entries) {
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("a(sbb)"));
  for (const MenuEntry& entry : entries) {
    g_variant_builder_add(&builder, "(sbb)", entry.title.c_str(), entry.checkable, entry.checked);
  }
  call("OpenMenu", g_variant_new("(a(sbb))", &builder));
}

bool ShellLink::lock() {
  if (!present_ || shellOwner_.empty()) return false;
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(
      bus_, shellOwner_.c_str(), kExtensionPath, kExtensionInterface, "Lock", nullptr,
      G_VARIANT_TYPE("(bdd)"), G_DBUS_CALL_FLAGS_NONE, kLockTimeoutMs, nullptr, &error);
  if (reply == nullptr) {
    std::fprintf(stderr, "Hushpad: GNOME Shell did not take the input: %s\n", error->message);
    g_error_free(error);
    // It may have taken it after all, too late: let go.
    call("Unlock", nullptr);
    return false;
  }
  gboolean held = FALSE;
  double x = 0;
  double y = 0;
  g_variant_get(reply, "(bdd)", &held, &x, &y);
  g_variant_unref(reply);
  readPointer(x, y);
  held_ = held != FALSE;
  if (held_) sendMark();
  return held_;
}

void ShellLink::unlock() {
  held_ = false;
  call("Unlock", nullptr);
}

void ShellLink::showMark(const PixelRect& rect, std::vector<std::uint8_t> png) {
  mark_ = rect;
  markPng_ = std::move(png);
  if (held_) sendMark();
}

void ShellLink::sendMark() {
  if (!mark_) return;
  call("ShowMark", g_variant_new("((dddd)@ay)", mark_->x, mark_->y, mark_->width,
                                 mark_->height, bytesVariant(markPng_)));
}

void ShellLink::hideMark() {
  mark_.reset();
  markPng_.clear();
  call("HideMark", nullptr);
}

}  // namespace hushpad::linux
