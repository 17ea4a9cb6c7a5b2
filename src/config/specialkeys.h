#pragma once

#include <QRect>
#include <QString>
#include <array>

/// The special-key palette of the configuration dialog: the keystroke tokens its buttons insert
/// into the body template, and where the buttons stand.
namespace SpecialKeys {

/// Number of buttons; index 0 to 35 press a named key, 36 to 38 are the modifiers.
inline constexpr int kCount = 39;

struct Key
{
    const char* name;  ///< the button's caption
    const char* token; ///< what the button inserts
};

/// The keys in button order: the 36 named keys insert "{NAME}", CTRL "^", SHIFT "+", ALT "%".
inline constexpr std::array<Key, kCount> kKeys{{
    {"BACKSPACE", "{BACKSPACE}"},
    {"BREAK", "{BREAK}"},
    {"CAPSLOCK", "{CAPSLOCK}"},
    {"DELETE", "{DELETE}"},
    {"DOWN", "{DOWN}"},
    {"END", "{END}"},
    {"ESC", "{ESC}"},
    {"HELP", "{HELP}"},
    {"HOME", "{HOME}"},
    {"INSERT", "{INSERT}"},
    {"LEFT", "{LEFT}"},
    {"NUMLOCK", "{NUMLOCK}"},
    {"PGDN", "{PGDN}"},
    {"PGUP", "{PGUP}"},
    {"PRTSC", "{PRTSC}"},
    {"RIGHT", "{RIGHT}"},
    {"SCROLLLOCK", "{SCROLLLOCK}"},
    {"TAB", "{TAB}"},
    {"UP", "{UP}"},
    {"ENTER", "{ENTER}"},
    {"F1", "{F1}"},
    {"F2", "{F2}"},
    {"F3", "{F3}"},
    {"F4", "{F4}"},
    {"F5", "{F5}"},
    {"F6", "{F6}"},
    {"F7", "{F7}"},
    {"F8", "{F8}"},
    {"F9", "{F9}"},
    {"F10", "{F10}"},
    {"F11", "{F11}"},
    {"F12", "{F12}"},
    {"F13", "{F13}"},
    {"F14", "{F14}"},
    {"F15", "{F15}"},
    {"F16", "{F16}"},
    {"CTRL", "^"},
    {"SHIFT", "+"},
    {"ALT", "%"},
}};

/// Grid of the buttons inside their frame, in 1/1440 inch: filled row by row.
inline constexpr int kColumns = 5;
inline constexpr int kLeftTwips = 50;
inline constexpr int kColumnStepTwips = 1400;
inline constexpr int kTopTwips = 300;
inline constexpr int kRowStepTwips = 500;
inline constexpr int kWidthTwips = 1300;
/// Leaves the same gap between rows as between columns.
inline constexpr int kHeightTwips = 400;

[[nodiscard]] QString name(int index);
[[nodiscard]] QString token(int index);
/// The button's place inside its frame, in 1/1440 inch; empty for an index outside the palette.
[[nodiscard]] QRect buttonRectTwips(int index);

/// A text box's text with something inserted, and where its caret goes.
struct Insertion
{
    QString text;
    int caret = 0;
};

/// Inserts `token` at `caret` (the characters in front of it are kept, none are replaced) and
/// puts the caret just behind the token. A caret outside the text counts as its nearer end.
[[nodiscard]] Insertion insertAtCaret(const QString& text, int caret, const QString& token);

} // namespace SpecialKeys
