#pragma once

#include <QFlags>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

/// One entry of a keystroke sequence: a named key or a character, pressed `repeat` times while
/// the modifiers are held.
struct Keystroke
{
    enum class Key : std::uint8_t {
        Character, ///< the Unicode character in `character`
        Backspace,
        Break,
        CapsLock,
        Delete,
        Down,
        End,
        Enter,
        Escape,
        Help,
        Home,
        Insert,
        Left,
        NumLock,
        PageDown,
        PageUp,
        PrintScreen,
        Right,
        ScrollLock,
        Tab,
        Up,
        F1,
        F2,
        F3,
        F4,
        F5,
        F6,
        F7,
        F8,
        F9,
        F10,
        F11,
        F12,
        F13,
        F14,
        F15,
        F16,
        Add, ///< the keys of the numeric keypad
        Subtract,
        Multiply,
        Divide,
    };

    enum class Modifier : std::uint8_t { Shift = 1, Control = 2, Alt = 4 };
    Q_DECLARE_FLAGS(Modifiers, Modifier)

    Key key = Key::Character;
    char32_t character = 0;
    Modifiers modifiers;
    int repeat = 1;

    [[nodiscard]] static Keystroke named(Key key, Modifiers modifiers = {}, int repeat = 1)
    {
        return {key, 0, modifiers, repeat};
    }
    [[nodiscard]] static Keystroke typed(char32_t character, Modifiers modifiers = {},
                                         int repeat = 1)
    {
        return {Key::Character, character, modifiers, repeat};
    }

    friend bool operator==(const Keystroke&, const Keystroke&) = default;
};
Q_DECLARE_OPERATORS_FOR_FLAGS(Keystroke::Modifiers)

/// Where and why a text is not valid keystroke notation.
struct SendKeysError
{
    qsizetype position = 0; ///< index of the offending character, counted from 0 in characters
    int line = 1;           ///< 1-based line of the text (CR, LF, CR LF and LF CR end a line)
    int column = 1;         ///< 1-based column within that line
    QString description;    ///< what is wrong, e.g. "unknown key name {TABB}"

    /// "line 2, column 5 (character 17)", counted from 1 as a user counts.
    [[nodiscard]] QString where() const;
    /// The description followed by where(), e.g. "unknown key name {TABB} at line 2, ...".
    [[nodiscard]] QString message() const;
};

struct SendKeysResult
{
    std::vector<Keystroke> keys;
    std::optional<SendKeysError> error; ///< set when the text is malformed; keys is then empty
    [[nodiscard]] bool ok() const { return !error.has_value(); }
};

/// The send-keys notation used to type readings into other applications:
///   - every character types itself, except the ones below;
///   - "+", "^" and "%" hold Shift, Ctrl and Alt for the next key, or for every key of a group
///     in parentheses, as in "+(abc)"; they combine ("^+a"), but one may not be given twice;
///   - "~" presses Enter;
///   - "{NAME}" presses a named key and "{NAME n}" presses it n times; key names are matched
///     without regard to case: BACKSPACE (BS, BKSP), BREAK, CAPSLOCK, DELETE (DEL), DOWN, END,
///     ENTER, ESC, HELP, HOME, INSERT (INS), LEFT, NUMLOCK, PGDN, PGUP, PRTSC, RIGHT,
///     SCROLLLOCK, TAB, UP, F1 to F16, and ADD, SUBTRACT, MULTIPLY, DIVIDE of the keypad;
///   - "{x}" and "{x n}" type the single character x once or n times, which is how the
///     characters "+^%~(){}" are typed literally: "{+}", "{{}", "{}}", "{) 3}".
namespace SendKeys {

/// The largest repeat count of "{NAME n}", so that no reading can keep the keyboard busy for
/// hours.
inline constexpr int kMaxRepeat = 9999;

/// The notation that types `text` exactly: every character the notation gives a meaning
/// ("+^%~(){}[]") written in braces, as "{%}", the others as they are. Brackets mean nothing to
/// this parser, but other programs' readers of the notation take them as special, so they are
/// braced too. Line breaks stay: keyString() drops them as it drops every other line break.
[[nodiscard]] QString literal(QStringView text);

/// Parses the whole notation; a malformed text gives no keystrokes at all.
[[nodiscard]] SendKeysResult parse(const QString& notation);

/// The text with every carriage return and line feed removed, all other characters in order.
[[nodiscard]] QString keyString(const QString& text);

/// Parses keyString(text), reporting an error's place in `text` itself (with its line breaks),
/// where the user sees it.
[[nodiscard]] SendKeysResult parseKeyString(const QString& text);

/// The notation's name of a named key, e.g. "TAB"; empty for Key::Character.
[[nodiscard]] QString keyName(Keystroke::Key key);

/// A readable form for messages and test output, e.g. "Ctrl+Shift+{TAB 3}" or "Alt+'a'".
[[nodiscard]] QString describe(const Keystroke& keystroke);

} // namespace SendKeys
