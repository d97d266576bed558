/* SPDX-License-Identifier: MIT */
/* A GTK 3 program that receives typed text: a focused GtkTextView in a window titled argv[1]
 * that writes its whole text to the file argv[2], UTF-8, when shown and after changes, once
 * the pending events are handled (written aside and renamed, so a reader never sees half). */
#include <gtk/gtk.h>
#include <stdio.h>

static const char* path;
static GtkTextBuffer* buffer;
static guint pending;

static gboolean save(gpointer unused) {
    (void)unused;
    GtkTextIter start;
    GtkTextIter end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    gchar* text = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
    gchar* aside = g_strconcat(path, ".new", NULL);
    FILE* file = fopen(aside, "w");
    if (file != NULL) {
        fputs(text, file);
        fclose(file);
        rename(aside, path);
    }
    g_free(aside);
    g_free(text);
    pending = 0;
    return G_SOURCE_REMOVE;
}

static void changed(GtkTextBuffer* unused, gpointer data) {
    (void)unused;
    (void)data;
    if (pending == 0) {
        pending = g_idle_add(save, NULL);
    }
}

int main(int argc, char* argv[]) {
    gtk_init(&argc, &argv);
    if (argc != 3) {
        return 2;
    }
    path = argv[2];
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), argv[1]);
    gtk_window_set_default_size(GTK_WINDOW(window), 400, 200);
    GtkWidget* view = gtk_text_view_new();
    gtk_container_add(GTK_CONTAINER(window), view);
    buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
    g_signal_connect(buffer, "changed", G_CALLBACK(changed), NULL);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), NULL);
    gtk_widget_show_all(window);
    gtk_widget_grab_focus(view);
    save(NULL);
    gtk_main();
    return 0;
}
