/* A stand-in for the dictionary editor in tests: one top-level X window that declares its
 * process (_NET_WM_PID) and is titled with the file it was given. It records its argument and
 * working directory in $SELVARINE_STANDIN_LOG and runs until it is signalled. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const char* log = getenv("SELVARINE_STANDIN_LOG");
    if (log) {
        char cwd[4096];
        FILE* f = fopen(log, "w");
        if (!f || !getcwd(cwd, sizeof cwd)) return 3;
        fprintf(f, "%s\n%s\n", argv[1], cwd);
        fclose(f);
    }
    Display* d = XOpenDisplay(NULL);
    if (!d) return 4;
    Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 10, 10, 200, 100, 0, 0, 0);
    const char* base = strrchr(argv[1], '/');
    base = base ? base + 1 : argv[1];
    XChangeProperty(d, w, XInternAtom(d, "_NET_WM_NAME", False),
                    XInternAtom(d, "UTF8_STRING", False), 8, PropModeReplace,
                    (const unsigned char*)base, (int)strlen(base));
    long pid = getpid();
    XChangeProperty(d, w, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, (const unsigned char*)&pid, 1);
    XMapWindow(d, w);
    XFlush(d);
    for (;;) {
        XEvent e;
        XNextEvent(d, &e);
    }
}
