#pragma once
// The status item as a StatusNotifierItem: exported on the session bus and
// registered with the panel's StatusNotifierWatcher, its menu exported with
// dbusmenu so that the host draws it. The host draws the item wherever it
// likes and never says where: the item has no frame the program can know.
// Main thread only.

#include <gio/gio.h>
#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/application.h"
#include "platform/linux/image.h"
#include "platform/linux/sni/pixmap.h"
#include "platform/linux/switching_status_item.h"

typedef struct _DbusmenuServer DbusmenuServer;
typedef struct _DbusmenuMenuitem DbusmenuMenuitem;

namespace hushpad::linux {

inline constexpr const char* kStatusNotifierWatcher = "org.kde.StatusNotifierWatcher";
inline constexpr const char* kStatusNotifierItemPath = "/StatusNotifierItem";
inline constexpr const char* kStatusNotifierMenuPath = "/MenuBar";

// The IconPixmap property's value, a(iiay), floating.
GVariant* iconPixmapVariant(const std::vector<StatusNotifierPixmap>& pixmaps);

class StatusNotifierButton final : public TrayKindButton {
 public:
  // Told true once the watcher took the item, false when it refused, or the
  // bus name could not be had or was lost later (once: the item is no use
  // any more).
  using Registered = std::function<void(bool)>;
  // The colours of the mark and of its halo from the theme's symbolic colour.
  using InkRule = std::function<std::pair<Color, Color>(Color themeForeground)>;

  StatusNotifierButton(GDBusConnection* bus, InkRule ink, Registered registered);
  ~StatusNotifierButton() override;
  StatusNotifierButton(const StatusNotifierButton&) = delete;
  StatusNotifierButton& operator=(const StatusNotifierButton&) = delete;

  // The item's title is the program's name.
  void setTitle(const std::string&) override {}
  void setImage(std::shared_ptr<Image> image) override;
  void setImagePosition(ImagePosition) override {}
  void setToolTip(const std::string& toolTip) override;
  // The tool tip's title: hosts name the item by it.
  void setAccessibilityLabel(const std::string& label) override;
  // With a menu: shows it at the pointer and returns once it has closed.
  void performClick() override;
  std::optional<Rect> screenFrame() const override { return std::nullopt; }
  bool isVisible() const override { return false; }

  void shown() override;
  void setClickSink(ClickSink sink) override { sink_ = std::move(sink); }
  void setMenu(const Menu* menu) override;
  void setStandingMenu(std::function<Menu()> menu) override;

 private:
  static void nameAcquired(GDBusConnection*, const gchar*, gpointer self);
  static void nameLost(GDBusConnection*, const gchar*, gpointer self);
  static void registerDone(GObject* source, GAsyncResult* result, gpointer self);
  static void methodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                         const gchar* method, GVariant*, GDBusMethodInvocation* invocation,
                         gpointer self);
  static GVariant* getProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                               const gchar* property, GError**, gpointer self);
  static gboolean menuAboutToShow(DbusmenuMenuitem*, gpointer self);
  static void themeChanged(GtkSettings*, GParamSpec*, gpointer self);
  void report(bool registered);
  void emit(const char* signal, GVariant* parameters);
  void render();
  void rebuildMenu();

  GDBusConnection* bus_;
  InkRule ink_;
  Registered registered_;
  bool reportedFalse_ = false;
  ClickSink sink_;
  std::string busName_;
  guint ownerId_ = 0;
  guint objectId_ = 0;
  GCancellable* cancellable_;
  DbusmenuServer* menuServer_ = nullptr;
  DbusmenuMenuitem* menuRoot_ = nullptr;
  std::function<Menu()> standingMenu_;
  std::optional<Menu> shownStandingMenu_;
  std::shared_ptr<RecordedImage> image_;
  std::vector<StatusNotifierPixmap> pixmaps_;
  std::string toolTip_;
  std::string label_;
  std::optional<Menu> menu_;
};

}  // namespace hushpad::linux
