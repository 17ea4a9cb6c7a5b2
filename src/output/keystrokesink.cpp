#include "keystrokesink.h"

KeystrokeSink::~KeystrokeSink() = default;

bool RecordingKeystrokeSink::send(const std::vector<Keystroke>& keys, QString* error)
{
    if (failure) {
        if (error) {
            *error = *failure;
        }
        return false;
    }
    sent.push_back(keys);
    return true;
}
