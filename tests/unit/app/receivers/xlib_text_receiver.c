/* SPDX-License-Identifier: MIT */
/* A bare Xlib program that receives typed text: a window titled argv[1] that appends the text
 * of every key press, as Xutf8LookupString gives it with the keymap the program holds when it
 * reads the press, to the file argv[2]. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <locale.h>
#include <stdio.h>

int main(int argc, char* argv[]) {
    if (argc != 3 || setlocale(LC_ALL, "") == NULL) {
        return 2;
    }
    XSetLocaleModifiers("@im=none");
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        return 1;
    }
    const int screen = DefaultScreen(display);
    Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 200, 100, 0,
                                        BlackPixel(display, screen), WhitePixel(display, screen));
    XStoreName(display, window, argv[1]);
    XSelectInput(display, window, KeyPressMask | FocusChangeMask);
    XIM im = XOpenIM(display, NULL, NULL, NULL);
    XIC ic = im == NULL ? NULL
                        : XCreateIC(im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing,
                                    XNClientWindow, window, XNFocusWindow, window, NULL);
    FILE* out = fopen(argv[2], "w");
    if (ic == NULL || out == NULL) {
        return 1;
    }
    /* Xlib reads the keymap at its first key lookup; a running program has long done that. */
    XKeysymToKeycode(display, XK_a);
    XMapRaised(display, window);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (XFilterEvent(&event, None)) {
            continue;
        }
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
        } else if (event.type == FocusIn) {
            XSetICFocus(ic);
        } else if (event.type == KeyPress) {
            char text[64];
            KeySym keysym = NoSymbol;
            Status status = 0;
            const int length =
                Xutf8LookupString(ic, &event.xkey, text, sizeof text, &keysym, &status);
            if ((status == XLookupChars || status == XLookupBoth) && length > 0) {
                fwrite(text, 1, (size_t)length, out);
                fflush(out);
            }
        }
    }
}
