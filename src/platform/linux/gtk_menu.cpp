#include "platform/linux/gtk_menu.h"

namespace hushpad::linux {
namespace {

struct MenuAction {
  ActionTarget* target;
  Action action;
};

void activateMenuItem(GtkMenuItem*, gpointer data) {
  const auto* menuAction = static_cast<const MenuAction*>(data);
  if (menuAction->target != nullptr) menuAction->target->performAction(menuAction->action);
}

void deleteMenuAction(gpointer data, GClosure*) { delete static_cast<MenuAction*>(data); }

GtkWidget* menuItemFor(const MenuItem& item, GtkAccelGroup* accelerators) {
  if (item.isSeparator) return gtk_separator_menu_item_new();
  GtkWidget* widget = item.checkable ? gtk_check_menu_item_new_with_label(item.title.c_str())
                                     : gtk_menu_item_new_with_label(item.title.c_str());
  // Set before the handler is connected: setting it activates the item.
  if (item.checkable) gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(widget), item.checked);
  g_signal_connect_data(widget, "activate", G_CALLBACK(activateMenuItem),
                        new MenuAction{item.target, item.action}, deleteMenuAction,
                        GConnectFlags{});
  if (!item.keyEquivalent.empty()) {
    const guint key = gdk_unicode_to_keyval(g_utf8_get_char(item.keyEquivalent.c_str()));
    gtk_widget_add_accelerator(widget, "activate", accelerators, key, GDK_CONTROL_MASK,
                               GTK_ACCEL_VISIBLE);
  }
  return widget;
}

// The menu's accelerators live in a group that must outlast the menu: its
// items' labels let go of the group only while the menu is being destroyed.
GtkWidget* buildMenu(const Menu& menu, GtkAccelGroup* accelerators) {
  GtkWidget* widget = gtk_menu_new();
  gtk_menu_set_accel_group(GTK_MENU(widget), accelerators);
  for (const MenuItem& item : menu.items) {
    gtk_menu_shell_append(GTK_MENU_SHELL(widget), menuItemFor(item, accelerators));
  }
  gtk_widget_show_all(widget);
  return widget;
}

}  // namespace

void runMenu(const Menu& menu, const std::function<void(GtkMenu*)>& popup) {
  GtkAccelGroup* accelerators = gtk_accel_group_new();
  GtkWidget* widget = buildMenu(menu, accelerators);
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  g_signal_connect_swapped(widget, "deactivate", G_CALLBACK(g_main_loop_quit), loop);
  popup(GTK_MENU(widget));
  if (gtk_widget_get_visible(widget)) g_main_loop_run(loop);
  gtk_widget_destroy(widget);
  g_object_unref(accelerators);
  g_main_loop_unref(loop);
}

}  // namespace hushpad::linux
