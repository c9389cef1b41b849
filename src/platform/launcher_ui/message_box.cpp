#include "platform/launcher_ui/message_box.h"

#include <gtk/gtk.h>

namespace zolt::platform {
namespace {

bool start_gtk() {
    static const bool is_started = gtk_init_check(nullptr, nullptr);
    return is_started;
}

}  // namespace

bool show_message_box(const std::string& title, const std::string& text, MessageBoxKind kind,
                      MessageBoxAnswer* answer) {
    if (!start_gtk()) {
        return false;
    }
    const GtkMessageType type = kind == MessageBoxKind::error      ? GTK_MESSAGE_ERROR
                                : kind == MessageBoxKind::warning  ? GTK_MESSAGE_WARNING
                                : kind == MessageBoxKind::question ? GTK_MESSAGE_QUESTION
                                                                   : GTK_MESSAGE_INFO;
    const GtkButtonsType buttons = kind == MessageBoxKind::question ? GTK_BUTTONS_YES_NO : GTK_BUTTONS_OK;
    // The text goes in as an argument, never as a format.
    GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, type, buttons, "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog),
                                    kind == MessageBoxKind::question ? GTK_RESPONSE_NO : GTK_RESPONSE_OK);
    const gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    while (gtk_events_pending()) {
        gtk_main_iteration();
    }
    *answer = response == GTK_RESPONSE_YES  ? MessageBoxAnswer::yes
              : response == GTK_RESPONSE_NO ? MessageBoxAnswer::no
                                            : MessageBoxAnswer::ok;
    // A box closed without an answer to a question keeps the default, No.
    if (kind == MessageBoxKind::question && response != GTK_RESPONSE_YES) {
        *answer = MessageBoxAnswer::no;
    }
    return true;
}

}  // namespace zolt::platform
