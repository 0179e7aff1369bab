#include "platform/linux/sni/status_notifier_item.h"

#include <libdbusmenu-glib/client.h>
#include <libdbusmenu-glib/menuitem.h>
#include <libdbusmenu-glib/server.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "platform/linux/gtk_menu.h"

namespace hushpad::linux {
namespace {

constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";

constexpr const char* kIntrospection = R"xml(<node>
  <interface name="org.kde.StatusNotifierItem">
    <property name="Category" type="s" access="read"/>
    <property name="Id" type="s" access="read"/>
    <property name="Title" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="WindowId" type="i" access="read"/>
    <property name="IconThemePath" type="s" access="read"/>
    <property name="IconName" type="s" access="read"/>
    <property name="IconPixmap" type="a(iiay)" access="read"/>
    <property name="OverlayIconName" type="s" access="read"/>
    <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionIconName" type="s" access="read"/>
    <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionMovieName" type="s" access="read"/>
    <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
    <property name="ItemIsMenu" type="b" access="read"/>
    <property name="Menu" type="o" access="read"/>
    <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
    <method name="ProvideXdgActivationToken"><arg name="token" type="s" direction="in"/></method>
    <signal name="NewTitle"/>
    <signal name="NewIcon"/>
    <signal name="NewAttentionIcon"/>
    <signal name="NewOverlayIcon"/>
    <signal name="NewToolTip"/>
    <signal name="NewStatus"><arg name="status" type="s"/></signal>
  </interface>
</node>)xml";

GDBusInterfaceInfo* itemInterfaceInfo() {
  static GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
  return node != nullptr ? g_dbus_node_info_lookup_interface(node, kItemInterface) : nullptr;
}

// Each item of this process has a bus name of its own: a panel restarting may
// bring a new item while the old name is still being let go.
int nextItemNumber() {
  static int number = 0;
  return ++number;
}

// The colour a symbolic icon takes in this program's theme.
GdkRGBA themeForeground() {
  GtkWidgetPath* path = gtk_widget_path_new();
  gtk_widget_path_append_type(path, GTK_TYPE_WINDOW);
  GtkStyleContext* context = gtk_style_context_new();
  gtk_style_context_set_path(context, path);
  GdkRGBA color{0, 0, 0, 1};
  gtk_style_context_get_color(context, GTK_STATE_FLAG_NORMAL, &color);
  g_object_unref(context);
  gtk_widget_path_unref(path);
  return color;
}

// The mark in ink, ringed by a halo of the colour that contrasts most with
// it: where the panel is close to the ink, the halo still draws its outline.
StatusNotifierPixmap renderPixmap(const RecordedImage& image, int size, const GdkRGBA& ink,
                                  const GdkRGBA& halo) {
  GdkPixbuf* inked = image.render(size, ink);
  GdkPixbuf* ringed = image.render(size, halo);
  StatusNotifierPixmap pixmap;
  if (inked != nullptr && ringed != nullptr) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(surface);
    const int radius = size >= 32 ? 2 : 1;
    for (int dy = -radius; dy <= radius; ++dy) {
      for (int dx = -radius; dx <= radius; ++dx) {
        if (dx * dx + dy * dy > radius * radius || (dx == 0 && dy == 0)) continue;
        gdk_cairo_set_source_pixbuf(cr, ringed, dx, dy);
        cairo_paint(cr);
      }
    }
    gdk_cairo_set_source_pixbuf(cr, inked, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    if (GdkPixbuf* result = gdk_pixbuf_get_from_surface(surface, 0, 0, size, size)) {
      pixmap = pixmapFromRgba(gdk_pixbuf_read_pixels(result), gdk_pixbuf_get_width(result),
                              gdk_pixbuf_get_height(result), gdk_pixbuf_get_rowstride(result),
                              gdk_pixbuf_get_has_alpha(result));
      g_object_unref(result);
    }
    cairo_surface_destroy(surface);
  }
  if (inked != nullptr) g_object_unref(inked);
  if (ringed != nullptr) g_object_unref(ringed);
  return pixmap;
}

struct MenuAction {
  ActionTarget* target;
  Action action;
};

// The host waits for the event's answer: the action, which may show an alert
// with a main loop of its own, runs after it.
gboolean runMenuAction(gpointer data) {
  const auto* menuAction = static_cast<const MenuAction*>(data);
  if (menuAction->target != nullptr) menuAction->target->performAction(menuAction->action);
  return G_SOURCE_REMOVE;
}

void menuItemActivated(DbusmenuMenuitem*, guint, gpointer data) {
  const auto* menuAction = static_cast<const MenuAction*>(data);
  g_idle_add_full(G_PRIORITY_DEFAULT, runMenuAction, new MenuAction(*menuAction),
                  [](gpointer copy) { delete static_cast<MenuAction*>(copy); });
}

DbusmenuMenuitem* dbusmenuItemFor(const MenuItem& item) {
  DbusmenuMenuitem* entry = dbusmenu_menuitem_new();
  if (item.isSeparator) {
    dbusmenu_menuitem_property_set(entry, DBUSMENU_MENUITEM_PROP_TYPE,
                                   DBUSMENU_CLIENT_TYPES_SEPARATOR);
    return entry;
  }
  dbusmenu_menuitem_property_set(entry, DBUSMENU_MENUITEM_PROP_LABEL, item.title.c_str());
  if (item.checkable) {
    dbusmenu_menuitem_property_set(entry, DBUSMENU_MENUITEM_PROP_TOGGLE_TYPE,
                                   DBUSMENU_MENUITEM_TOGGLE_CHECK);
    dbusmenu_menuitem_property_set_int(entry, DBUSMENU_MENUITEM_PROP_TOGGLE_STATE,
                                       item.checked ? DBUSMENU_MENUITEM_TOGGLE_STATE_CHECKED
                                                    : DBUSMENU_MENUITEM_TOGGLE_STATE_UNCHECKED);
  }
  if (!item.keyEquivalent.empty()) {
    const char* keys[] = {DBUSMENU_MENUITEM_SHORTCUT_CONTROL, item.keyEquivalent.c_str()};
    GVariant* combination = g_variant_new_strv(keys, 2);
    dbusmenu_menuitem_property_set_variant(entry, DBUSMENU_MENUITEM_PROP_SHORTCUT,
                                           g_variant_new_array(nullptr, &combination, 1));
  }
  g_signal_connect_data(entry, DBUSMENU_MENUITEM_SIGNAL_ITEM_ACTIVATED,
                        G_CALLBACK(menuItemActivated), new MenuAction{item.target, item.action},
                        [](gpointer data, GClosure*) { delete static_cast<MenuAction*>(data); },
                        GConnectFlags{});
  return entry;
}

}  // namespace

GVariant* iconPixmapVariant(const std::vector<StatusNotifierPixmap>& pixmaps) {
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("a(iiay)"));
  for (const StatusNotifierPixmap& pixmap : pixmaps) {
    if (pixmap.argb.empty()) continue;
    GVariant* bytes = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, pixmap.argb.data(),
                                                pixmap.argb.size(), 1);
    g_variant_builder_add(&builder, "(ii@ay)", pixmap.width, pixmap.height, bytes);
  }
  return g_variant_builder_end(&builder);
}

StatusNotifierButton::StatusNotifierButton(GDBusConnection* bus, InkRule ink,
                                           Registered registered)
    : bus_(G_DBUS_CONNECTION(g_object_ref(bus))),
      ink_(std::move(ink)),
      registered_(std::move(registered)),
      busName_("org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" +
               std::to_string(nextItemNumber())),
      cancellable_(g_cancellable_new()) {
  g_signal_connect(gtk_settings_get_default(), "notify::gtk-theme-name", G_CALLBACK(themeChanged),
                   this);
  g_signal_connect(gtk_settings_get_default(), "notify::gtk-application-prefer-dark-theme",
                   G_CALLBACK(themeChanged), this);
}

// The object, the menu and the name go on the bus only now, once the item of
// this process that came before has left them.
void StatusNotifierButton::shown() {
  if (objectId_ != 0 || menuServer_ != nullptr) return;
  static const GDBusInterfaceVTable vtable{methodCall, getProperty, nullptr, {}};
  if (GDBusInterfaceInfo* info = itemInterfaceInfo()) {
    objectId_ = g_dbus_connection_register_object(bus_, kStatusNotifierItemPath, info, &vtable,
                                                  this, nullptr, nullptr);
  }
  menuServer_ = dbusmenu_server_new(kStatusNotifierMenuPath);
  menuRoot_ = dbusmenu_menuitem_new();
  g_signal_connect(menuRoot_, DBUSMENU_MENUITEM_SIGNAL_ABOUT_TO_SHOW, G_CALLBACK(menuAboutToShow),
                   this);
  dbusmenu_server_set_root(menuServer_, menuRoot_);
  shownStandingMenu_.reset();
  rebuildMenu();
  if (objectId_ == 0) {
    std::fputs("Hushpad: the StatusNotifierItem could not be put on the session bus\n", stderr);
    g_idle_add(
        [](gpointer data) {
          static_cast<StatusNotifierButton*>(data)->report(false);
          return G_SOURCE_REMOVE;
        },
        this);
    return;
  }
  ownerId_ = g_bus_own_name_on_connection(bus_, busName_.c_str(), G_BUS_NAME_OWNER_FLAGS_NONE,
                                          nameAcquired, nameLost, this, nullptr);
}

StatusNotifierButton::~StatusNotifierButton() {
  g_cancellable_cancel(cancellable_);
  g_object_unref(cancellable_);
  g_idle_remove_by_data(this);
  g_signal_handlers_disconnect_by_data(gtk_settings_get_default(), this);
  if (ownerId_ != 0) g_bus_unown_name(ownerId_);
  if (objectId_ != 0) g_dbus_connection_unregister_object(bus_, objectId_);
  if (menuRoot_ != nullptr) {
    g_signal_handlers_disconnect_by_data(menuRoot_, this);
    g_object_unref(menuRoot_);
  }
  if (menuServer_ != nullptr) g_object_unref(menuServer_);
  g_object_unref(bus_);
}

void StatusNotifierButton::setImage(std::shared_ptr<Image> image) {
  image_ = std::dynamic_pointer_cast<RecordedImage>(image);
  render();
}

void StatusNotifierButton::setToolTip(const std::string& toolTip) {
  if (toolTip == toolTip_) return;
  toolTip_ = toolTip;
  emit("NewToolTip", nullptr);
}

void StatusNotifierButton::setAccessibilityLabel(const std::string& label) {
  if (label == label_) return;
  label_ = label;
  emit("NewToolTip", nullptr);
}

// A host that asks the item for its menu (ContextMenu) sends no input event
// to place it by: it goes at the pointer.
void StatusNotifierButton::performClick() {
  if (!menu_) {
    if (sink_) sink_(std::nullopt);
    return;
  }
  const Menu menu = *menu_;
  runMenu(menu, [](GtkMenu* widget) {
    gtk_menu_popup(widget, nullptr, nullptr, nullptr, nullptr, 0, GDK_CURRENT_TIME);
  });
}

void StatusNotifierButton::setMenu(const Menu* menu) {
  menu_ = menu != nullptr ? std::optional(*menu) : std::nullopt;
}

void StatusNotifierButton::setStandingMenu(std::function<Menu()> menu) {
  standingMenu_ = std::move(menu);
  rebuildMenu();
}

void StatusNotifierButton::nameAcquired(GDBusConnection* bus, const gchar* name, gpointer self) {
  auto* button = static_cast<StatusNotifierButton*>(self);
  g_dbus_connection_call(bus, kStatusNotifierWatcher, "/StatusNotifierWatcher",
                         kStatusNotifierWatcher, "RegisterStatusNotifierItem",
                         g_variant_new("(s)", name), nullptr, G_DBUS_CALL_FLAGS_NONE, -1,
                         button->cancellable_, registerDone, self);
}

void StatusNotifierButton::nameLost(GDBusConnection*, const gchar*, gpointer self) {
  static_cast<StatusNotifierButton*>(self)->report(false);
}

void StatusNotifierButton::registerDone(GObject* source, GAsyncResult* result, gpointer self) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  if (reply != nullptr) g_variant_unref(reply);
  if (error != nullptr && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
    g_error_free(error);
    return;
  }
  auto* button = static_cast<StatusNotifierButton*>(self);
  if (error != nullptr) {
    std::fprintf(stderr, "Hushpad: the panel's StatusNotifierWatcher refused the item: %s\n",
                 error->message);
    g_error_free(error);
  }
  button->report(reply != nullptr);
}

// The one told may end this item: nothing of it is touched afterwards. A
// failure is told once; after it the item is of no use.
void StatusNotifierButton::report(bool registered) {
  if (!registered_ || reportedFalse_) return;
  reportedFalse_ = !registered;
  const Registered registeredHandler = registered_;
  registeredHandler(registered);
}

// The host learns of the call's answer first; the action, which may run a main
// loop of its own (a menu, an alert), comes after.
void StatusNotifierButton::methodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                      const gchar* method, GVariant*,
                                      GDBusMethodInvocation* invocation, gpointer self) {
  auto* button = static_cast<StatusNotifierButton*>(self);
  const std::string_view name = method;
  g_dbus_method_invocation_return_value(invocation, nullptr);
  // Hosts pass the click's point, a point within their own widget, or the
  // item's corner: none is used. The pointer says where the click was.
  if (!button->sink_) return;
  if (name == "Activate") {
    button->sink_(MouseEventType::LeftMouseUp);
  } else if (name == "ContextMenu" || name == "SecondaryActivate") {
    button->sink_(MouseEventType::RightMouseUp);
  }
}

GVariant* StatusNotifierButton::getProperty(GDBusConnection*, const gchar*, const gchar*,
                                            const gchar*, const gchar* property, GError**,
                                            gpointer self) {
  auto* button = static_cast<StatusNotifierButton*>(self);
  const std::string_view name = property;
  if (name == "Category") return g_variant_new_string("ApplicationStatus");
  if (name == "Id") return g_variant_new_string("hushpad");
  if (name == "Title") return g_variant_new_string("Hushpad");
  if (name == "Status") return g_variant_new_string("Active");
  if (name == "WindowId") return g_variant_new_int32(0);
  if (name == "IconPixmap") return iconPixmapVariant(button->pixmaps_);
  if (name.ends_with("Pixmap")) return iconPixmapVariant({});
  // Hosts show the title as the tip's heading and may read the text as markup.
  if (name == "ToolTip") {
    gchar* title = g_markup_escape_text(button->label_.c_str(), -1);
    gchar* text = g_markup_escape_text(button->toolTip_.c_str(), -1);
    GVariant* value = g_variant_new("(s@a(iiay)ss)", "", iconPixmapVariant({}), title, text);
    g_free(title);
    g_free(text);
    return value;
  }
  if (name == "ItemIsMenu") return g_variant_new_boolean(FALSE);
  if (name == "Menu") return g_variant_new_object_path(kStatusNotifierMenuPath);
  return g_variant_new_string("");  // the icon names, the theme path, the movie
}

gboolean StatusNotifierButton::menuAboutToShow(DbusmenuMenuitem*, gpointer self) {
  static_cast<StatusNotifierButton*>(self)->rebuildMenu();
  return FALSE;
}

void StatusNotifierButton::themeChanged(GtkSettings*, GParamSpec*, gpointer self) {
  static_cast<StatusNotifierButton*>(self)->render();
}

void StatusNotifierButton::emit(const char* signal, GVariant* parameters) {
  g_dbus_connection_emit_signal(bus_, nullptr, kStatusNotifierItemPath, kItemInterface, signal,
                                parameters, nullptr);
}

void StatusNotifierButton::render() {
  pixmaps_.clear();
  if (image_) {
    const auto [ink, halo] = ink_(toColor(themeForeground()));
    for (const int size : kStatusNotifierIconSizes) {
      pixmaps_.push_back(renderPixmap(*image_, size, toGdkRGBA(ink), toGdkRGBA(halo)));
    }
  }
  emit("NewIcon", nullptr);
  emit("NewStatus", g_variant_new("(s)", "Active"));
}

// Built again only when the menu has changed since the host last saw it.
void StatusNotifierButton::rebuildMenu() {
  if (menuRoot_ == nullptr) return;
  std::optional<Menu> menu = standingMenu_ ? std::optional(standingMenu_()) : std::nullopt;
  if (menu == shownStandingMenu_) return;
  shownStandingMenu_ = std::move(menu);
  while (GList* children = dbusmenu_menuitem_get_children(menuRoot_)) {
    dbusmenu_menuitem_child_delete(menuRoot_, DBUSMENU_MENUITEM(children->data));
  }
  if (!shownStandingMenu_) return;
  for (const MenuItem& item : shownStandingMenu_->items) {
    DbusmenuMenuitem* entry = dbusmenuItemFor(item);
    dbusmenu_menuitem_child_append(menuRoot_, entry);
    g_object_unref(entry);
  }
}

}  // namespace hushpad::linux
