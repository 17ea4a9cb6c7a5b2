#include "x11displayprobe.h"

#include <X11/Xlib.h>

bool x11DisplayAnswers()
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return false;
    }
    XCloseDisplay(display);
    return true;
}
