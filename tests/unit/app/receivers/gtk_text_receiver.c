/* A GTK 3 program that receives typed text: a focused GtkTextView in a window titled argv[1]
 * that writes its whole text to the file argv[2], UTF-8, when shown and after every change. */
#include <gtk/gtk.h>

static void save(GtkTextBuffer* buffer, gpointer path) {
    GtkTextIter start;
    GtkTextIter end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    gchar* text = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
    g_file_set_contents(path, text, -1, NULL);
    g_free(text);
}

int main(int argc, char* argv[]) {
    gtk_init(&argc, &argv);
    if (argc != 3) {
        return 2;
    }
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), argv[1]);
    gtk_window_set_default_size(GTK_WINDOW(window), 400, 200);
    GtkWidget* view = gtk_text_view_new();
    gtk_container_add(GTK_CONTAINER(window), view);
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
    g_signal_connect(buffer, "changed", G_CALLBACK(save), argv[2]);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), NULL);
    gtk_widget_show_all(window);
    gtk_widget_grab_focus(view);
    save(buffer, argv[2]);
    gtk_main();
    return 0;
}
