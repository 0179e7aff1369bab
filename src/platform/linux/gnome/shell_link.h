#pragma once
// The program's end of its talk with Hushpad's own GNOME Shell extension, on
// the session bus. The extension only shows and reports: the item in the top
// bar, clicks on it, releases on the cover while it holds the input, the
// monitors and where the pointer was. This end only carries: what follows from
// the facts is decided by the program's core. Each end accepts calls only from
// the other: here, from the connection that owns org.gnome.Shell; there, from
// the one that owns the program's name. Main thread only.
//
// Program (name app.hushpad.Hushpad, object /app/hushpad/Hushpad,
// interface app.hushpad.Hushpad.Program1), called by the extension:
//   Hello(u version, a(dddd) monitors, (dddd) item) -> u  the extension is
//       (back) there; monitors primary first, in stage pixels
//   Monitors(a(dddd))  ItemFrame((dddd))
//   ItemReleased(u button, d x, d y)   a release on the item (1 left, 3 right)
//   CoverReleased(u button, d x, d y)  a release on the cover while held
//   MenuActivated(u index, d x, d y)
//   Ping()                             while held, once a second (its watchdog)
//   LetGo(s reason)                    it no longer holds the input: "watchdog",
//       "screen-shield" (the Shell disabled it for the unlock dialog), "disabled"
// Extension (on the Shell's connection, object /app/hushpad/Hushpad/Extension,
// interface app.hushpad.Hushpad.Extension1), called by the program:
//   GetVersion() -> u   SetItem(ay png, s toolTip, s label)   OpenMenu(as titles)
//   Lock() -> (b held, d x, d y)   Unlock()   ShowMark((dddd), ay png)   HideMark()

#include <gio/gio.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/geometry.h"
#include "platform/linux/screens.h"

namespace hushpad::linux {

inline constexpr std::uint32_t kShellInterfaceVersion = 1;
inline constexpr const char* kProgramBusName = "app.hushpad.Hushpad";
inline constexpr const char* kProgramPath = "/app/hushpad/Hushpad";
inline constexpr const char* kProgramInterface = "app.hushpad.Hushpad.Program1";
inline constexpr const char* kExtensionPath = "/app/hushpad/Hushpad/Extension";
inline constexpr const char* kExtensionInterface = "app.hushpad.Hushpad.Extension1";
// The build for GNOME Shell 45 and later (ES modules), and the one for 43 and
// 44 (legacy imports): the Shell loads neither kind in the other's versions.
inline constexpr const char* kExtensionUuid = "hushpad@hushpad.app";
inline constexpr const char* kLegacyExtensionUuid = "hushpad-gnome43@hushpad.app";

// Whether XDG_CURRENT_DESKTOP (a colon-separated list) names GNOME.
bool isGnomeDesktop(const char* xdgCurrentDesktop);
// What a user of GNOME on Wayland reads when the extension does not answer,
// for the Shell's major version (0: unknown).
std::string gnomeExtensionAdvice(int shellMajorVersion);

// Why the extension no longer holds the input.
enum class ShellLetGo { Watchdog, ScreenShield, Disabled, Vanished };

class ShellLink {
 public:
  struct Handlers {
    std::function<void(unsigned button)> itemReleased;
    std::function<void(unsigned button, Point pixel)> coverReleased;
    std::function<void(unsigned index)> menuActivated;
    std::function<void()> monitorsChanged;
    std::function<void(ShellLetGo reason)> letGo;
    // The extension is there again (after the Shell's unlock dialog, a restart).
    std::function<void()> returned;
  };

  // Takes a reference to bus.
  explicit ShellLink(GDBusConnection* bus);
  ~ShellLink();
  ShellLink(const ShellLink&) = delete;
  ShellLink& operator=(const ShellLink&) = delete;

  // Owns the program's name, exports the program's object and asks the
  // extension for its version, waiting at most a second. False when the name
  // is taken (another Hushpad) or the extension does not answer with this
  // version; then nothing stays claimed.
  enum class Start { Linked, NameTaken, NoExtension };
  Start start();
  // The running Shell's major version (its ShellVersion property); 0 when it
  // does not say within a second.
  int shellMajorVersion();
  void setHandlers(Handlers handlers) { handlers_ = std::move(handlers); }

  bool extensionPresent() const { return present_; }
  // Monitors primary first (stage pixels); copied, never allocating.
  std::span<const PixelRect> monitors() const { return {monitors_.data(), monitorCount_}; }
  PixelRect primary() const { return monitorCount_ > 0 ? monitors_[0] : PixelRect{}; }
  std::optional<PixelRect> itemFrame() const { return itemFrame_; }
  std::optional<Point> pointer() const { return pointer_; }

  void setItem(std::vector<std::uint8_t> png, const std::string& toolTip,
               const std::string& label);
  // One entry an item: its title (empty for a separator), whether it shows
  // a checkmark's place, and whether it is checked.
  struct MenuEntry {
    std::string title;
    bool checkable = false;
    bool checked = false;
  };
  void openMenu(const std::vector<MenuEntry>& entries);
  // Asks for the modal grab and waits for the answer (at most two seconds).
  bool lock();
  void unlock();
  // The mark stays for the next lock until hidden.
  void showMark(const PixelRect& rect, std::vector<std::uint8_t> png);
  void hideMark();
  std::optional<PixelRect> mark() const { return mark_; }

 private:
  static void methodCall(GDBusConnection*, const gchar* sender, const gchar*, const gchar*,
                         const gchar* method, GVariant* parameters,
                         GDBusMethodInvocation* invocation, gpointer self);
  static void shellAppeared(GDBusConnection*, const gchar*, const gchar* owner, gpointer self);
  static void shellVanished(GDBusConnection*, const gchar*, gpointer self);
  void handle(const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation);
  void readMonitors(GVariant* monitors);
  void readPointer(double x, double y);
  void gone(ShellLetGo reason);
  void call(const char* method, GVariant* parameters);
  void sendItem();
  void sendMark();

  GDBusConnection* bus_;
  bool nameOwned_ = false;
  guint objectId_ = 0;
  guint shellWatch_ = 0;
  std::string shellOwner_;
  bool present_ = false;
  bool held_ = false;
  Handlers handlers_;
  std::array<PixelRect, kMaxScreens> monitors_{};
  std::size_t monitorCount_ = 0;
  std::optional<PixelRect> itemFrame_;
  std::optional<Point> pointer_;
  std::optional<PixelRect> mark_;
  std::vector<std::uint8_t> markPng_;
  std::vector<std::uint8_t> itemPng_;
  std::string toolTip_;
  std::string label_;
};

}  // namespace hushpad::linux
