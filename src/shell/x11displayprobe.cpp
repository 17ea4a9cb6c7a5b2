#include "x11displayprobe.h"

#include <X11/Xlib.h>

void* openX11Display()
{
    return XOpenDisplay(nullptr);
}

void closeX11Display(void* display)
{
    if (display != nullptr) {
        XCloseDisplay(static_cast<Display*>(display));
    }
}
