// Compiled on Windows only. See the TODO at SendInputKeystrokeSink.
#include "keystrokesink.h"

#include <QCoreApplication>

bool SendInputKeystrokeSink::send(const std::vector<Keystroke>& keys, QString* error)
{
    if (keys.empty()) {
        return true;
    }
    if (error) {
        *error = QCoreApplication::translate(
            "SendInputKeystrokeSink",
            "Keystroke output is not available: typing through SendInput is "
            "not written yet");
    }
    return false;
}
