#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <optional>

/// An Xvfb server of its own for one test or benchmark. The server picks a free display number
/// itself (-displayfd), so runs in parallel never collide; it listens on no TCP port and is
/// stopped when this object goes.
class XvfbServer
{
public:
    XvfbServer() = default;
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    /// The Xvfb program found on PATH; empty when it is not installed.
    [[nodiscard]] static QString program();

    /// Starts the server and waits at most timeoutMs until it accepts connections.
    [[nodiscard]] bool start(QString* error, int timeoutMs = 15000);
    /// ":N" once started.
    [[nodiscard]] QString display() const { return m_display; }

private:
    QProcess m_process;
    QString m_display;
};

/// The keys_x11_target program on a display: one window with a focused QTextEdit that reports
/// its text after Ctrl+Alt+Shift+F12 (see x11target.cpp).
class X11TargetWindow
{
public:
    X11TargetWindow() = default;
    ~X11TargetWindow();
    X11TargetWindow(const X11TargetWindow&) = delete;
    X11TargetWindow& operator=(const X11TargetWindow&) = delete;

    /// Starts it and waits at most timeoutMs until its text field has the keyboard focus; the
    /// program ends itself after ownTimeoutMs.
    [[nodiscard]] bool start(const QString& program, const QString& display, QString* error,
                             int timeoutMs = 20000, int ownTimeoutMs = 120000);
    /// Waits at most timeoutMs for its report.
    [[nodiscard]] bool waitForReport(QString* error, int timeoutMs);

    QString text;          ///< the text field's text
    QStringList keys;      ///< keys that typed no text, or were pressed with Ctrl or Alt
    bool timedOut = false; ///< it reported because its own time was up

    /// What it wrote to stderr, for failure messages.
    [[nodiscard]] QString diagnostics();

private:
    QProcess m_process;
    QByteArray m_output;
};

/// Whether Caps Lock is on for the keyboard of a display; nullopt when it cannot be opened.
[[nodiscard]] std::optional<bool> capsLockOn(const QString& display);

/// Whether some key code of a display's keyboard map carries the keysym of that name (as Xlib
/// names them: "aacute", "U0152"); nullopt when the display cannot be opened.
[[nodiscard]] std::optional<bool> keymapHas(const QString& display, const char* keysymName);

/// Sets an environment variable of this process, or removes it for std::nullopt, and puts the
/// old value back when destroyed.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char* name, const std::optional<QByteArray>& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* m_name;
    std::optional<QByteArray> m_old;
};
