#pragma once

#include <QString>
#include <cstdint>

class LocaleSource;
class SettingsStore;

/// Whether Kolbrin can show its window at all, and what it says when it cannot: decided before
/// Qt's window system starts, which would abort the program without a display.
namespace GraphicalSession {

/// A display is named (DISPLAY or WAYLAND_DISPLAY), or a Qt platform is chosen
/// (QT_QPA_PLATFORM, as tests choose "offscreen"); empty values count as unset. Always true
/// where windows need no such variable (Windows, macOS).
[[nodiscard]] bool available();

/// Whether the X server that DISPLAY names answers, asked only when DISPLAY alone names the
/// session (no WAYLAND_DISPLAY, no QT_QPA_PLATFORM): a stale DISPLAY, a server that has ended.
/// The connection it opens is held until the probe goes, after Qt has made its own: a bare X
/// server resets when its last client leaves, and refuses connections while it does.
class DisplayProbe
{
public:
    DisplayProbe();
    ~DisplayProbe();
    DisplayProbe(const DisplayProbe&) = delete;
    DisplayProbe& operator=(const DisplayProbe&) = delete;

    [[nodiscard]] bool answers() const { return m_answers; }

private:
    void* m_display = nullptr;
    bool m_answers = true;
};

/// The language the program's texts would take at start-up: the stored Language, or on a first
/// run the locale's where it is one of the program's (as ConfigLoader chooses it); 0 English,
/// 1 Portuguese, 2 Spanish.
[[nodiscard]] std::int16_t startLanguage(SettingsStore& store, const LocaleSource& locale);

/// The one line said on standard error without a session, in the installed translation.
[[nodiscard]] QString missingText();

/// The one line said when the display that DISPLAY names does not answer.
[[nodiscard]] QString unreachableText(const QString& display);

} // namespace GraphicalSession
