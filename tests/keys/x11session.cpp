#include "x11session.h"

#include <QDeadlineTimer>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <algorithm>

namespace {

constexpr int kStopWaitMs = 5000;

void stop(QProcess& process)
{
    if (process.state() == QProcess::NotRunning) {
        return;
    }
    process.terminate();
    if (!process.waitForFinished(kStopWaitMs)) {
        process.kill();
        process.waitForFinished(kStopWaitMs);
    }
}

// Reads from the process until `done` says the output is complete or the deadline passes.
template <typename Done>
bool readUntil(QProcess& process, QByteArray& output, QDeadlineTimer deadline, Done done)
{
    while (!done(output)) {
        if (process.state() == QProcess::NotRunning) {
            output += process.readAllStandardOutput();
            return done(output);
        }
        const qint64 left = deadline.remainingTime();
        if (left == 0) {
            return false;
        }
        process.waitForReadyRead(static_cast<int>(std::min<qint64>(left, 200)));
        output += process.readAllStandardOutput();
    }
    return true;
}

QString unescaped(const QString& text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const QChar next = text[++i];
        out += next == u'n' ? QChar(u'\n') : next == u't' ? QChar(u'\t') : next;
    }
    return out;
}

} // namespace

XvfbServer::~XvfbServer()
{
    stop(m_process);
}

QString XvfbServer::program()
{
    return QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
}

bool XvfbServer::start(QString* error, int timeoutMs)
{
    const QString xvfb = program();
    if (xvfb.isEmpty()) {
        *error = QStringLiteral("Xvfb is not installed");
        return false;
    }
    // -displayfd 1: the server picks a free display and writes its number to stdout once it
    // accepts connections. -noreset: an X server resets its keyboard map whenever its last
    // client leaves, which would happen between two target windows.
    m_process.start(xvfb,
                    {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                     QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                     QStringLiteral("1024x768x24"), QStringLiteral("-noreset")});
    if (!m_process.waitForStarted(timeoutMs)) {
        *error = QStringLiteral("Xvfb did not start: ") + m_process.errorString();
        return false;
    }
    QByteArray output;
    if (!readUntil(m_process, output, QDeadlineTimer(timeoutMs),
                   [](const QByteArray& out) { return out.contains('\n'); })) {
        *error = QStringLiteral("Xvfb did not report a display within %1 ms: %2")
                     .arg(timeoutMs)
                     .arg(QString::fromLocal8Bit(m_process.readAllStandardError()));
        stop(m_process);
        return false;
    }
    m_display = QChar(u':') + QString::fromLatin1(output.left(output.indexOf('\n')).trimmed());
    return true;
}

X11TargetWindow::~X11TargetWindow()
{
    stop(m_process);
}

bool X11TargetWindow::start(const QString& program, const QString& display, QString* error,
                            int timeoutMs, int ownTimeoutMs)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    m_process.setProcessEnvironment(environment);
    m_process.start(program, {QStringLiteral("--timeout-ms"), QString::number(ownTimeoutMs)});
    if (!m_process.waitForStarted(timeoutMs)) {
        *error = QStringLiteral("%1 did not start: %2").arg(program, m_process.errorString());
        return false;
    }
    if (!readUntil(m_process, m_output, QDeadlineTimer(timeoutMs),
                   [](const QByteArray& out) { return out.contains("ready\n"); })) {
        *error = QStringLiteral("the target window did not get the focus within %1 ms: %2")
                     .arg(timeoutMs)
                     .arg(diagnostics());
        return false;
    }
    m_output.remove(0, m_output.indexOf("ready\n") + 6);
    return true;
}

bool X11TargetWindow::waitForReport(QString* error, int timeoutMs)
{
    const auto complete = [](const QByteArray& out) {
        return out.contains("\nend\n") || out.contains("\ntimeout\n");
    };
    if (!readUntil(m_process, m_output, QDeadlineTimer(timeoutMs), complete)) {
        *error = QStringLiteral("the target window gave no report within %1 ms: %2")
                     .arg(timeoutMs)
                     .arg(diagnostics());
        return false;
    }
    for (const QString& line : QString::fromUtf8(m_output).split(u'\n')) {
        if (line.startsWith(QStringLiteral("key "))) {
            keys << line.mid(4);
        } else if (line.startsWith(QStringLiteral("text "))) {
            text = unescaped(line.mid(5));
        } else if (line == QStringLiteral("timeout")) {
            timedOut = true;
        }
    }
    m_process.waitForFinished(kStopWaitMs);
    return true;
}

QString X11TargetWindow::diagnostics()
{
    return QString::fromLocal8Bit(m_process.readAllStandardError()).trimmed();
}

std::optional<bool> capsLockOn(const QString& display)
{
    Display* x = XOpenDisplay(display.toLocal8Bit().constData());
    if (!x) {
        return std::nullopt;
    }
    XkbStateRec state{};
    const bool read = XkbGetState(x, XkbUseCoreKbd, &state) == Success;
    XCloseDisplay(x);
    if (!read) {
        return std::nullopt;
    }
    return (state.locked_mods & LockMask) != 0;
}

std::optional<bool> keymapHas(const QString& display, const char* keysymName)
{
    Display* x = XOpenDisplay(display.toLocal8Bit().constData());
    if (!x) {
        return std::nullopt;
    }
    const bool has = XKeysymToKeycode(x, XStringToKeysym(keysymName)) != 0;
    XCloseDisplay(x);
    return has;
}

ScopedEnvironment::ScopedEnvironment(const char* name, const std::optional<QByteArray>& value)
    : m_name(name)
{
    if (qEnvironmentVariableIsSet(name)) {
        m_old = qgetenv(name);
    }
    if (value) {
        qputenv(name, *value);
    } else {
        qunsetenv(name);
    }
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (m_old) {
        qputenv(m_name, *m_old);
    } else {
        qunsetenv(m_name);
    }
}
