// Typing into a real Qt text field on a private Xvfb server: 10,000 characters of readings with
// accented letters, shifted characters and {TAB}/{ENTER} tokens. Prints how many characters did
// not arrive (target 0) and the typing rate, from the start of the send until the field holds
// the whole text.
#include "output/keystrokesink.h"
#include "x11session.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr qsizetype kCharacters = 10000;
constexpr int kReportTimeoutMs = 600000;

// Characters of `expected` missing from `got` (the longest common subsequence tells which arrived
// in order), plus any that arrived although not expected.
qsizetype charactersLost(const QString& expected, const QString& got)
{
    std::vector<int> previous(static_cast<std::size_t>(got.size()) + 1, 0);
    std::vector<int> current(previous.size(), 0);
    for (const QChar e : expected) {
        for (qsizetype j = 0; j < got.size(); ++j) {
            const auto k = static_cast<std::size_t>(j);
            current[k + 1] = e == got[j] ? previous[k] + 1 : std::max(previous[k + 1], current[k]);
        }
        std::swap(previous, current);
    }
    const qsizetype common = previous.back();
    return (expected.size() - common) + (got.size() - common);
}

int fail(const QString& why)
{
    std::fprintf(stderr, "bench_keys: %s\n", qPrintable(why));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (XvfbServer::program().isEmpty()) {
        std::fprintf(stderr, "bench_keys: Xvfb is not installed; skipped\n");
        return 0;
    }
    XvfbServer server;
    X11TargetWindow target;
    QString error;
    if (!server.start(&error) || !target.start(QStringLiteral(KEYS_X11_TARGET), server.display(),
                                               &error, 20000, kReportTimeoutMs)) {
        return fail(error);
    }
    const ScopedEnvironment display("DISPLAY", server.display().toLocal8Bit());
    const ScopedEnvironment wayland("WAYLAND_DISPLAY", std::nullopt);

    // Records as a shop terminal delivers them: code, description, quantity.
    const QStringList descriptions = {
        QStringLiteral("A\u00e7\u00facar refinado"), QStringLiteral("P\u00e3o de l\u00f3"),
        QStringLiteral("Jam\u00f3n Ib\u00e9rico"),   QStringLiteral("CAF\u00c9 Mo\u00eddo"),
        QStringLiteral("Pi\u00f1a & Lim\u00f3n!"),   QStringLiteral("Fei\u00e7\u00e3o (1 KG)")};
    QString notation;
    QString expected;
    for (int record = 1;; ++record) {
        const QString code = QStringLiteral("%1").arg(record, 6, 10, QChar(u'0'));
        const QString description = descriptions[record % descriptions.size()];
        const QString quantity = QString::number(record % 97);
        const QString typed = code + u'\t' + description + u'\t' + quantity + u'\n';
        if (expected.size() + typed.size() > kCharacters) {
            break;
        }
        expected += typed;
        // Parentheses group keys in the notation; braces make them literal.
        QString literal = description;
        literal.replace(QStringLiteral("("), QStringLiteral("{(}"))
            .replace(QStringLiteral(")"), QStringLiteral("{)}"));
        notation += code + QStringLiteral("{TAB}") + literal + QStringLiteral("{TAB}") + quantity +
                    QStringLiteral("{ENTER}");
    }
    const QString padding(kCharacters - expected.size(), u'.');
    expected += padding;
    notation += padding;
    const SendKeysResult reading = SendKeys::parse(notation);
    const SendKeysResult report = SendKeys::parse(QStringLiteral("+^%{F12}"));
    if (!reading.ok()) {
        return fail(reading.error->message());
    }

    X11KeystrokeSink sink;
    QElapsedTimer clock;
    clock.start();
    if (!sink.send(reading.keys, &error) || !sink.send(report.keys, &error)) {
        return fail(error);
    }
    const qint64 handedOverMs = clock.elapsed();
    if (!target.waitForReport(&error, kReportTimeoutMs)) {
        return fail(error);
    }
    const qint64 arrivedMs = std::max<qint64>(clock.elapsed(), 1);

    std::fprintf(stderr,
                 "bench_keys: %lld characters handed over in %lld ms, in the field after "
                 "%lld ms\n",
                 static_cast<long long>(expected.size()), static_cast<long long>(handedOverMs),
                 static_cast<long long>(arrivedMs));
    std::printf("keys_lost %lld chars 0\n",
                static_cast<long long>(charactersLost(expected, target.text)));
    std::printf("keys_typing_rate %.0f chars/s -\n",
                static_cast<double>(expected.size()) * 1000.0 / static_cast<double>(arrivedMs));
    return 0;
}
