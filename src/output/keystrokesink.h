#pragma once

#include "sendkeys.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>
#include <vector>

/// Hands parsed keystrokes to the platform, which types them into the application that has the
/// keyboard focus.
class KeystrokeSink
{
public:
    virtual ~KeystrokeSink();

    /// Sends the whole sequence without waiting for the target application to process it.
    /// Returns false, with the reason in *error (if given), when the keystrokes cannot be handed
    /// to the platform; when the reason is known before the first key, nothing is typed.
    [[nodiscard]] virtual bool send(const std::vector<Keystroke>& keys, QString* error) = 0;
};

/// Records every sequence sent, for tests; can be told to fail instead.
class RecordingKeystrokeSink : public KeystrokeSink
{
public:
    bool send(const std::vector<Keystroke>& keys, QString* error) override;

    /// When set, send() records nothing and fails with this reason.
    std::optional<QString> failure;
    /// Every sequence accepted, oldest first.
    QList<std::vector<Keystroke>> sent;
};

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)

/// Types into the focused window of the X display named by DISPLAY, through libxdo's XTEST
/// input.
///
/// Characters and keys that the keyboard map lacks (accented letters on an English layout, F13
/// on many layouts) are bound to spare key codes before the first key is typed, a lower and
/// upper case letter sharing one key code, and stay bound until this sink is destroyed (so keep
/// one sink for the life of the program: a target still busy with the last keys when the
/// bindings go would lose them). Binding a key code per character just before pressing it and
/// unbinding it right after loses characters: the target reads the keyboard map when it gets
/// round to the key press, by which time the binding may be gone or replaced.
///
/// Keys that the user holds and Caps Lock are released for the duration of a send and restored
/// afterwards, so that the text comes out exactly as given.
class X11KeystrokeSink : public KeystrokeSink
{
public:
    /// keyDelayMicroseconds: libxdo's pause after each key press and release.
    explicit X11KeystrokeSink(unsigned keyDelayMicroseconds = kDefaultKeyDelayMicroseconds);
    /// Gives the key codes it bound back to the keyboard map.
    ~X11KeystrokeSink() override;
    X11KeystrokeSink(const X11KeystrokeSink&) = delete;
    X11KeystrokeSink& operator=(const X11KeystrokeSink&) = delete;

    bool send(const std::vector<Keystroke>& keys, QString* error) override;

    static constexpr unsigned kDefaultKeyDelayMicroseconds = 1000;

    /// A key code this sink bound, and the keysyms (at most two) it put there.
    struct Binding
    {
        unsigned keycode = 0;
        unsigned long keysyms[2] = {0, 0};
    };

private:
    unsigned m_keyDelay;
    QByteArray m_bindingDisplay; ///< the display the bindings were made on
    std::vector<Binding> m_bindings;
};

#endif

#if defined(Q_OS_WIN)

/// Types through the SendInput function of Windows.
/// TODO: one KEYEVENTF_UNICODE input pair per character, virtual-key inputs for the named keys
/// and the modifiers; until then send() reports that keystroke output is not available.
class SendInputKeystrokeSink : public KeystrokeSink
{
public:
    bool send(const std::vector<Keystroke>& keys, QString* error) override;
};

#endif
