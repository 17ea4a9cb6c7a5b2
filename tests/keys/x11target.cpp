// The application the X11 keystroke tests type into: a window holding one focused QTextEdit on
// the display named by DISPLAY. It prints "ready" once the text field has the keyboard focus,
// and when Ctrl+Alt+Shift+F12 arrives (or its time is up) it prints what it received:
//   key <name>   one line per key that typed no text, or that was pressed with Ctrl or Alt
//   text <text>  the field's text, with \ written as \\, line breaks as \n and tabs as \t
//   end | timeout
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QTextEdit>
#include <QTimer>
#include <cstdio>

namespace {

void printLine(const QString& line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString escaped(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        if (c == u'\\') {
            out += QStringLiteral("\\\\");
        } else if (c == u'\n') {
            out += QStringLiteral("\\n");
        } else if (c == u'\t') {
            out += QStringLiteral("\\t");
        } else {
            out += c;
        }
    }
    return out;
}

class TargetWindow : public QTextEdit
{
public:
    TargetWindow()
    {
        setObjectName(QStringLiteral("KeysTarget"));
        setAcceptRichText(false);
    }

    void finish(bool timedOut)
    {
        if (m_finished) {
            return;
        }
        m_finished = true;
        for (const QString& key : m_keys) {
            printLine(QStringLiteral("key ") + key);
        }
        printLine(QStringLiteral("text ") + escaped(toPlainText()));
        printLine(timedOut ? QStringLiteral("timeout") : QStringLiteral("end"));
        QCoreApplication::exit(timedOut ? 3 : 0);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        constexpr auto kQuit = Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier;
        const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
        if (event->key() == Qt::Key_F12 && modifiers == kQuit) {
            finish(false);
            return;
        }
        const bool isModifierKey = event->key() == Qt::Key_Shift ||
                                   event->key() == Qt::Key_Control || event->key() == Qt::Key_Alt ||
                                   event->key() == Qt::Key_Meta;
        const bool commandKey = (modifiers & (Qt::ControlModifier | Qt::AltModifier)) != 0;
        if (!isModifierKey && (event->text().isEmpty() || commandKey)) {
            m_keys.push_back(QKeySequence(event->keyCombination()).toString());
        }
        QTextEdit::keyPressEvent(event);
    }

private:
    QStringList m_keys;
    bool m_finished = false;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int timeoutMs = 60000;
    const QStringList args = QCoreApplication::arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--timeout-ms"));
    if (at >= 0 && at + 1 < args.size()) {
        timeoutMs = args.at(at + 1).toInt();
    }

    TargetWindow window;
    window.setGeometry(0, 0, 800, 600);
    window.show();
    window.activateWindow();
    window.setFocus();

    // Without a window manager the focus has to be asked for until the server grants it.
    QTimer readiness;
    QObject::connect(&readiness, &QTimer::timeout, [&] {
        if (window.isActiveWindow() && window.hasFocus()) {
            readiness.stop();
            printLine(QStringLiteral("ready"));
            return;
        }
        window.activateWindow();
        window.setFocus();
    });
    readiness.start(20);
    QTimer::singleShot(timeoutMs, [&] { window.finish(true); });
    return app.exec();
}
