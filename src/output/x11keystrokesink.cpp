#include "keystrokesink.h"

#include <QCoreApplication>
#include <QStringList>

extern "C" {
#include <xdo.h>
}
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>

namespace {

using Key = Keystroke::Key;
using Modifier = Keystroke::Modifier;

struct DisplayCloser
{
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayHandle = std::unique_ptr<Display, DisplayCloser>;

struct XdoFree
{
    void operator()(xdo_t* xdo) const { xdo_free(xdo); }
};
using XdoHandle = std::unique_ptr<xdo_t, XdoFree>;

struct XFreeDeleter
{
    void operator()(void* data) const { XFree(data); }
};

/// While alive, X protocol errors are counted instead of ending the program (Xlib's default
/// handler exits). Xlib's handler is process-wide, so the previous one is put back.
class XErrorTrap
{
public:
    XErrorTrap()
        : m_previous(XSetErrorHandler(&XErrorTrap::handle))
    {
        s_errors = 0;
    }
    ~XErrorTrap() { XSetErrorHandler(m_previous); }
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    [[nodiscard]] static int errors() { return s_errors; }
    [[nodiscard]] static int lastCode() { return s_lastCode; }

private:
    static int handle(Display*, XErrorEvent* event)
    {
        ++s_errors;
        s_lastCode = event->error_code;
        return 0;
    }

    XErrorHandler m_previous;
    static inline int s_errors = 0;
    static inline int s_lastCode = 0;
};

bool capsLockOn(Display* display)
{
    XkbStateRec state{};
    return XkbGetState(display, XkbUseCoreKbd, &state) == Success &&
           (state.locked_mods & LockMask) != 0;
}

QString unavailable(const QString& reason)
{
    return QCoreApplication::translate("X11KeystrokeSink", "Keystroke output is not available: %1")
        .arg(reason);
}

const char* keysymName(Key key)
{
    switch (key) {
    case Key::Character:
        return nullptr;
    case Key::Backspace:
        return "BackSpace";
    case Key::Break:
        return "Break";
    case Key::CapsLock:
        return "Caps_Lock";
    case Key::Delete:
        return "Delete";
    case Key::Down:
        return "Down";
    case Key::End:
        return "End";
    case Key::Enter:
        return "Return";
    case Key::Escape:
        return "Escape";
    case Key::Help:
        return "Help";
    case Key::Home:
        return "Home";
    case Key::Insert:
        return "Insert";
    case Key::Left:
        return "Left";
    case Key::NumLock:
        return "Num_Lock";
    case Key::PageDown:
        return "Next";
    case Key::PageUp:
        return "Prior";
    case Key::PrintScreen:
        return "Print";
    case Key::Right:
        return "Right";
    case Key::ScrollLock:
        return "Scroll_Lock";
    case Key::Tab:
        return "Tab";
    case Key::Up:
        return "Up";
    case Key::F1:
        return "F1";
    case Key::F2:
        return "F2";
    case Key::F3:
        return "F3";
    case Key::F4:
        return "F4";
    case Key::F5:
        return "F5";
    case Key::F6:
        return "F6";
    case Key::F7:
        return "F7";
    case Key::F8:
        return "F8";
    case Key::F9:
        return "F9";
    case Key::F10:
        return "F10";
    case Key::F11:
        return "F11";
    case Key::F12:
        return "F12";
    case Key::F13:
        return "F13";
    case Key::F14:
        return "F14";
    case Key::F15:
        return "F15";
    case Key::F16:
        return "F16";
    case Key::Add:
        return "KP_Add";
    case Key::Subtract:
        return "KP_Subtract";
    case Key::Multiply:
        return "KP_Multiply";
    case Key::Divide:
        return "KP_Divide";
    }
    return nullptr;
}

// The keysym that types a character: Latin-1 characters have keysyms of the same value, every
// other character its Unicode keysym. Tab and line breaks are their keys; other control
// characters cannot be typed.
KeySym characterKeysym(char32_t c)
{
    switch (c) {
    case U'\t':
        return XStringToKeysym("Tab");
    case U'\n':
    case U'\r':
        return XStringToKeysym("Return");
    default:
        break;
    }
    if (c < 0x20 || (c >= 0x7F && c < 0xA0) || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return NoSymbol;
    }
    return c < 0x100 ? KeySym(c) : KeySym(0x01000000 | c);
}

// The name libxdo's key sequences take for a keysym; "U" and the code point for Unicode
// keysyms, which Xlib turns back into exactly that keysym.
std::string sequenceName(KeySym keysym)
{
    if (keysym >= 0x01000100 && keysym <= 0x0110FFFF) {
        char name[16];
        std::snprintf(name, sizeof name, "U%04lX", keysym & 0x00FFFFFFUL);
        return name;
    }
    const char* name = XKeysymToString(keysym);
    return name ? std::string(name) : std::string();
}

struct Press
{
    std::string sequence; ///< libxdo key sequence, e.g. "Control_L+Shift_L+Tab"
    int repeat = 1;
};

QString describeCharacter(char32_t c)
{
    return QStringLiteral("U+%1").arg(static_cast<uint>(c), 4, 16, QChar(u'0')).toUpper();
}

// Binds the keysyms the keyboard map lacks to spare key codes (every row NoSymbol), from the
// highest key code down. The lowest spare key code is left free for other programs that bind a
// scratch key code of their own. Key codes this sink bound earlier and that the current text
// does not need are reused last.
bool bindMissing(Display* display, const std::set<KeySym>& needed,
                 std::vector<X11KeystrokeSink::Binding>& bindings, QString* error)
{
    int low = 0;
    int high = 0;
    XDisplayKeycodes(display, &low, &high);
    int perKeycode = 0;
    const std::unique_ptr<KeySym, XFreeDeleter> map(
        XGetKeyboardMapping(display, static_cast<KeyCode>(low), high - low + 1, &perKeycode));
    if (!map || perKeycode <= 0) {
        *error = unavailable(QCoreApplication::translate(
            "X11KeystrokeSink", "the keyboard map of the X display cannot be read"));
        return false;
    }
    const auto row = [&](int keycode) { return map.get() + (keycode - low) * perKeycode; };

    // Forget bindings that someone else changed since (a new layout, for example).
    std::erase_if(bindings, [&](const X11KeystrokeSink::Binding& binding) {
        const int code = static_cast<int>(binding.keycode);
        return code < low || code > high || row(code)[0] != binding.keysyms[0] ||
               (perKeycode > 1 && row(code)[1] != binding.keysyms[1]);
    });

    std::set<KeySym> present;
    std::vector<int> spare;
    for (int code = high; code >= low; --code) {
        const KeySym* syms = row(code);
        const bool empty = std::all_of(syms, syms + perKeycode, [](KeySym s) { return s == 0; });
        if (empty) {
            spare.push_back(code);
        } else {
            present.insert(syms, syms + perKeycode);
        }
    }
    if (!spare.empty()) {
        spare.pop_back(); // the lowest stays free
    }

    // A letter and its other case share a key code, the lower case without Shift, so that
    // Shift and Caps Lock behave on it as on any letter key.
    std::vector<std::pair<KeySym, KeySym>> wanted;
    std::set<KeySym> planned;
    for (const KeySym keysym : needed) {
        if (present.contains(keysym) || planned.contains(keysym)) {
            continue;
        }
        KeySym lower = NoSymbol;
        KeySym upper = NoSymbol;
        XConvertCase(keysym, &lower, &upper);
        if (lower != upper && !present.contains(lower) && !present.contains(upper)) {
            wanted.emplace_back(lower, upper);
            planned.insert({lower, upper});
        } else {
            wanted.emplace_back(keysym, NoSymbol);
            planned.insert(keysym);
        }
    }
    if (wanted.empty()) {
        return true;
    }

    // Earlier bindings not needed now may be given up, oldest first, once the spares run out.
    std::vector<std::size_t> reusable;
    for (std::size_t i = 0; i < bindings.size(); ++i) {
        if (!needed.contains(bindings[i].keysyms[0]) && !needed.contains(bindings[i].keysyms[1])) {
            reusable.push_back(i);
        }
    }
    if (wanted.size() > spare.size() + reusable.size()) {
        QStringList missing;
        for (const auto& slot : wanted) {
            missing << QString::fromStdString(sequenceName(slot.first));
        }
        *error =
            QCoreApplication::translate(
                "X11KeystrokeSink", "Keystroke output cannot type this text: it needs %1 keys that "
                                    "the keyboard map lacks (%2), but only %3 spare key codes are "
                                    "free")
                .arg(wanted.size())
                .arg(missing.join(QStringLiteral(", ")))
                .arg(spare.size() + reusable.size());
        return false;
    }

    std::vector<X11KeystrokeSink::Binding> made;
    std::size_t nextSpare = 0;
    std::size_t nextReusable = 0;
    std::vector<std::size_t> givenUp;
    for (const auto& [first, second] : wanted) {
        X11KeystrokeSink::Binding binding;
        if (nextSpare < spare.size()) {
            binding.keycode = static_cast<unsigned>(spare[nextSpare++]);
        } else {
            givenUp.push_back(reusable[nextReusable]);
            binding.keycode = bindings[reusable[nextReusable++]].keycode;
        }
        binding.keysyms[0] = first;
        binding.keysyms[1] = second;
        KeySym syms[2] = {first, second};
        XChangeKeyboardMapping(display, static_cast<int>(binding.keycode), 2, syms, 1);
        made.push_back(binding);
    }
    std::sort(givenUp.rbegin(), givenUp.rend());
    for (const std::size_t index : givenUp) {
        bindings.erase(bindings.begin() + static_cast<std::ptrdiff_t>(index));
    }
    bindings.insert(bindings.end(), made.begin(), made.end());
    XSync(display, False);
    return true;
}

void unbind(Display* display, const std::vector<X11KeystrokeSink::Binding>& bindings)
{
    int low = 0;
    int high = 0;
    XDisplayKeycodes(display, &low, &high);
    for (const X11KeystrokeSink::Binding& binding : bindings) {
        const int code = static_cast<int>(binding.keycode);
        if (code < low || code > high) {
            continue;
        }
        int perKeycode = 0;
        const std::unique_ptr<KeySym, XFreeDeleter> row(
            XGetKeyboardMapping(display, static_cast<KeyCode>(code), 1, &perKeycode));
        // Leave alone a key code that someone else has taken over since.
        if (!row || perKeycode < 1 || row.get()[0] != binding.keysyms[0]) {
            continue;
        }
        KeySym none[2] = {NoSymbol, NoSymbol};
        XChangeKeyboardMapping(display, code, 2, none, 1);
    }
    XSync(display, False);
}

} // namespace

X11KeystrokeSink::X11KeystrokeSink(unsigned keyDelayMicroseconds)
    : m_keyDelay(keyDelayMicroseconds)
{
}

X11KeystrokeSink::~X11KeystrokeSink()
{
    if (m_bindings.empty()) {
        return;
    }
    XErrorTrap trap;
    const DisplayHandle display(XOpenDisplay(m_bindingDisplay.constData()));
    if (display) {
        unbind(display.get(), m_bindings);
    }
}

bool X11KeystrokeSink::send(const std::vector<Keystroke>& keys, QString* error)
{
    QString reason;
    const auto fail = [&](const QString& why) {
        if (error) {
            *error = why;
        }
        return false;
    };

    const QByteArray displayName = qgetenv("DISPLAY");
    if (displayName.isEmpty()) {
        if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
            return fail(unavailable(QCoreApplication::translate(
                "X11KeystrokeSink",
                "this is a Wayland session without X11 (WAYLAND_DISPLAY is set, DISPLAY is not); "
                "typing into other applications needs an X11 session or XWayland")));
        }
        return fail(unavailable(QCoreApplication::translate(
            "X11KeystrokeSink", "there is no X display (DISPLAY is not set)")));
    }

    // Everything is translated before anything is typed, so that a character that cannot be
    // typed stops the whole text, not its second half.
    std::vector<Press> presses;
    std::set<KeySym> needed;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const Keystroke& key = keys[i];
        std::string sequence;
        if (key.modifiers.testFlag(Modifier::Control)) {
            sequence += "Control_L+";
        }
        if (key.modifiers.testFlag(Modifier::Alt)) {
            sequence += "Alt_L+";
        }
        if (key.modifiers.testFlag(Modifier::Shift)) {
            sequence += "Shift_L+";
        }
        const KeySym keysym = key.key == Key::Character ? characterKeysym(key.character)
                                                        : XStringToKeysym(keysymName(key.key));
        const std::string name = keysym == NoSymbol ? std::string() : sequenceName(keysym);
        if (name.empty()) {
            return fail(QCoreApplication::translate(
                            "X11KeystrokeSink",
                            "Keystroke output cannot type the character %1 (keystroke "
                            "%2 of %3)")
                            .arg(describeCharacter(key.character))
                            .arg(i + 1)
                            .arg(keys.size()));
        }
        needed.insert(keysym);
        presses.push_back({sequence + name, key.repeat});
    }
    if (presses.empty()) {
        return true;
    }

    XErrorTrap trap;
    {
        const DisplayHandle display(XOpenDisplay(displayName.constData()));
        if (!display) {
            return fail(unavailable(QCoreApplication::translate(
                                        "X11KeystrokeSink", "the X display \"%1\" cannot be opened")
                                        .arg(QString::fromLocal8Bit(displayName))));
        }
        for (const char* modifier : {"Shift_L", "Control_L", "Alt_L"}) {
            if (XKeysymToKeycode(display.get(), XStringToKeysym(modifier)) == 0) {
                return fail(unavailable(QCoreApplication::translate(
                                            "X11KeystrokeSink", "the keyboard map has no %1 key")
                                            .arg(QLatin1String(modifier))));
            }
        }
        if (m_bindingDisplay != displayName) {
            m_bindings.clear(); // made on another server, which keeps them or has gone
            m_bindingDisplay = displayName;
        }
        if (!bindMissing(display.get(), needed, m_bindings, &reason)) {
            return fail(reason);
        }
        if (trap.errors() > 0) {
            return fail(unavailable(
                QCoreApplication::translate("X11KeystrokeSink",
                                            "the X server refused to change the keyboard "
                                            "map (X error %1)")
                    .arg(trap.lastCode())));
        }
    }

    // A fresh connection, so that libxdo reads the keyboard map with the bindings in it.
    const XdoHandle xdo(xdo_new(displayName.constData()));
    if (!xdo) {
        return fail(unavailable(
            QCoreApplication::translate("X11KeystrokeSink",
                                        "the X display \"%1\" does not accept typed input "
                                        "(XTEST)")
                .arg(QString::fromLocal8Bit(displayName))));
    }

    // Keys held down and Caps Lock would change what the keys type: release them for the send.
    // libxdo turns Caps Lock off with the held keys but does not turn it back on, so that is
    // done here, after any {CAPSLOCK} of the text has had its effect.
    charcodemap_t* held = nullptr;
    int heldCount = 0;
    xdo_get_active_modifiers(xdo.get(), &held, &heldCount);
    const std::unique_ptr<charcodemap_t, decltype(&std::free)> heldGuard(held, &std::free);
    const bool capsLock = capsLockOn(xdo->xdpy);
    xdo_clear_active_modifiers(xdo.get(), CURRENTWINDOW, held, heldCount);

    std::size_t typed = 0;
    bool ok = true;
    for (const Press& press : presses) {
        for (int r = 0; r < press.repeat && ok; ++r) {
            ok = xdo_send_keysequence_window(xdo.get(), CURRENTWINDOW, press.sequence.c_str(),
                                             m_keyDelay) == XDO_SUCCESS;
        }
        if (!ok) {
            break;
        }
        ++typed;
    }
    if (capsLock) {
        xdo_send_keysequence_window(xdo.get(), CURRENTWINDOW, "Caps_Lock", m_keyDelay);
    }
    xdo_send_keysequence_window_list_do(xdo.get(), CURRENTWINDOW, held, heldCount, True, nullptr,
                                        m_keyDelay);
    XFlush(xdo->xdpy);

    if (!ok) {
        return fail(QCoreApplication::translate(
                        "X11KeystrokeSink",
                        "Keystroke output stopped after %1 of %2 keystrokes: the key "
                        "\"%3\" could not be sent")
                        .arg(typed)
                        .arg(presses.size())
                        .arg(QString::fromStdString(presses[typed].sequence)));
    }
    if (trap.errors() > 0) {
        return fail(QCoreApplication::translate(
                        "X11KeystrokeSink",
                        "Keystroke output may be incomplete: the X server reported an "
                        "error while typing (X error %1)")
                        .arg(trap.lastCode()));
    }
    return true;
}
