#include "platform/linux/alert.h"

#include <gtk/gtk.h>

namespace hushpad::linux {

std::optional<std::size_t> GtkAlertPresenter::runModal(const AlertContent& alert) {
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_WARNING,
                                             GTK_BUTTONS_NONE, "%s", alert.title.c_str());
  gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s",
                                           alert.informativeText.c_str());
  for (std::size_t i = 0; i < alert.buttons.size(); ++i) {
    gtk_dialog_add_button(GTK_DIALOG(dialog), alert.buttons[i].c_str(), static_cast<gint>(i));
  }
  if (!alert.buttons.empty()) gtk_dialog_set_default_response(GTK_DIALOG(dialog), 0);
  gtk_window_set_title(GTK_WINDOW(dialog), "Hushpad");
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  const gint response = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  if (response < 0 || static_cast<std::size_t>(response) >= alert.buttons.size()) {
    return std::nullopt;
  }
  return static_cast<std::size_t>(response);
}

}  // namespace hushpad::linux
