/* A selection owner that misbehaves on request, for the selection transfer test.
 *
 *   SelectionOwner SELECTION MODE BYTES
 *
 * Takes SELECTION and answers UTF8_STRING requests with BYTES bytes of text ('a' + i % 26 at
 * byte i), always through INCR (ICCCM 2.7.2) in 64 KB parts. Other targets are refused.
 *   incr    announces BYTES as the lower bound and sends everything;
 *   huge    announces 1 byte and sends everything (the reader must stop on its own);
 *   die     sends the first part and exits when asked for the second;
 *   silent  never answers.
 * Exits when it loses the selection or a requestor's window vanishes. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum { kPart = 64 * 1024 };

static int Quit(Display* display, XErrorEvent* error) {
    (void)display;
    (void)error;
    _exit(0);
}

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const char* mode = argv[2];
    const unsigned long total = strtoul(argv[3], NULL, 10);
    Display* display = XOpenDisplay(NULL);
    if (!display) return 1;
    XSetErrorHandler(Quit);
    const Atom selection = XInternAtom(display, argv[1], False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const Atom incr = XInternAtom(display, "INCR", False);
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, selection, window, CurrentTime);
    XSync(display, False);

    static char part[kPart];
    Window requestor = None;
    Atom property = None;
    unsigned long sent = 0;
    int parts = 0;
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == SelectionClear) return 0;
        if (event.type == SelectionRequest) {
            if (strcmp(mode, "silent") == 0) continue;
            XSelectionRequestEvent* request = &event.xselectionrequest;
            XSelectionEvent notify = {0};
            notify.type = SelectionNotify;
            notify.requestor = request->requestor;
            notify.selection = request->selection;
            notify.target = request->target;
            notify.time = request->time;
            notify.property = None;
            if (request->target == utf8 && requestor == None) {
                const long lowerBound = strcmp(mode, "huge") == 0 ? 1 : (long)total;
                requestor = request->requestor;
                property = request->property;
                XSelectInput(display, requestor, PropertyChangeMask);
                XChangeProperty(display, requestor, property, incr, 32, PropModeReplace,
                                (const unsigned char*)&lowerBound, 1);
                notify.property = property;
            }
            XSendEvent(display, request->requestor, False, 0, (XEvent*)&notify);
            XFlush(display);
        } else if (event.type == PropertyNotify && event.xproperty.window == requestor &&
                   event.xproperty.atom == property && event.xproperty.state == PropertyDelete) {
            if (strcmp(mode, "die") == 0 && parts == 1) _exit(0);
            unsigned long n = total - sent < kPart ? total - sent : kPart;
            for (unsigned long i = 0; i < n; ++i) part[i] = (char)('a' + (sent + i) % 26);
            XChangeProperty(display, requestor, property, utf8, 8, PropModeReplace,
                            (const unsigned char*)part, (int)n);
            XFlush(display);
            sent += n;
            ++parts;
            if (n == 0) requestor = None; /* the empty part ended the transfer */
        }
    }
}
