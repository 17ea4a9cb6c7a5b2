// X11KeystrokeSink typing into a real Qt window on a real X server (Xvfb).
#include "keystrokeprinters.h"
#include "markedreading.h"
#include "output/keystrokesink.h"
#include "x11session.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr int kReportTimeoutMs = 60000;

std::vector<Keystroke> keysOf(const QString& notation)
{
    const SendKeysResult result = SendKeys::parse(notation);
    EXPECT_TRUE(result.ok()) << result.error->message().toStdString();
    return result.keys;
}

// The target reports what it got when it sees this, through the same sink.
const QString kReport = QStringLiteral("+^%{F12}");

class X11KeystrokeSinkTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (XvfbServer::program().isEmpty()) {
            return;
        }
        s_server = std::make_unique<XvfbServer>();
        QString error;
        if (!s_server->start(&error)) {
            s_startError = error;
        }
    }
    static void TearDownTestSuite() { s_server.reset(); }

    void SetUp() override
    {
        if (XvfbServer::program().isEmpty()) {
            GTEST_SKIP() << "Xvfb is not installed (tools/packages.txt installs it)";
        }
        ASSERT_TRUE(s_startError.isEmpty()) << s_startError.toStdString();
        display.emplace("DISPLAY", s_server->display().toLocal8Bit());
        QString error;
        ASSERT_TRUE(target.start(QStringLiteral(KEYS_X11_TARGET), s_server->display(), &error))
            << error.toStdString();
    }

    void report()
    {
        QString error;
        ASSERT_TRUE(sink.send(keysOf(kReport), &error)) << error.toStdString();
        ASSERT_TRUE(target.waitForReport(&error, kReportTimeoutMs)) << error.toStdString();
        EXPECT_FALSE(target.timedOut) << "the report key combination did not arrive";
    }

    static bool capsLockOn()
    {
        const std::optional<bool> on = ::capsLockOn(s_server->display());
        EXPECT_TRUE(on.has_value()) << "cannot read the keyboard state of the display";
        return on.value_or(false);
    }

    static inline std::unique_ptr<XvfbServer> s_server;
    static inline QString s_startError;
    std::optional<ScopedEnvironment> display;
    ScopedEnvironment noWayland{"WAYLAND_DISPLAY", std::nullopt};
    X11TargetWindow target;
    X11KeystrokeSink sink;
};

TEST_F(X11KeystrokeSinkTest, TypesAReadingExactly)
{
    // Fields and records, shifted characters, accented letters of both cases that the English
    // keyboard map of Xvfb lacks, a key it lacks (F13), editing keys and literal characters.
    const QString reading =
        QStringLiteral("C\u00f3digo{TAB}Descri\u00e7\u00e3o{TAB}Qtd{ENTER}"
                       "+a+bc 12{TAB}!@?#{TAB}{ADD}5~"
                       "\u00e1\u00e3\u00e7\u00e9\u00ea\u00f1\u00f5\u00fc\u00c7\u00c9\u00d1 "
                       "\u00bf\u00a1\u20ac\u00ba\u00aa{TAB}"
                       "xy{BS 2}AB{LEFT 2}>{END}<{F13}%{F4}{ENTER 2}"
                       "{{}{}}{+}{^}{%}{~}{(}{)}");
    const QString expected =
        QStringLiteral("C\u00f3digo\tDescri\u00e7\u00e3o\tQtd\n"
                       "ABc 12\t!@?#\t+5\n"
                       "\u00e1\u00e3\u00e7\u00e9\u00ea\u00f1\u00f5\u00fc\u00c7\u00c9\u00d1 "
                       "\u00bf\u00a1\u20ac\u00ba\u00aa\t"
                       ">AB<\n\n"
                       "{}+^%~()");

    // A sequence with a character that cannot be typed is refused before its first key.
    QString error;
    EXPECT_FALSE(sink.send({Keystroke::typed('a'), Keystroke::typed(U'\u0001')}, &error));
    EXPECT_EQ(error, QStringLiteral("Keystroke output cannot type the character U+0001 "
                                    "(keystroke 2 of 2)"));

    ASSERT_TRUE(sink.send(keysOf(reading), &error)) << error.toStdString();
    report();

    EXPECT_EQ(target.text, expected);
    EXPECT_EQ(target.keys,
              (QStringList{QStringLiteral("Left"), QStringLiteral("Left"), QStringLiteral("End"),
                           QStringLiteral("F13"), QStringLiteral("Alt+F4")}));
}

// A reading in keyboard mode, laid out by the library's formatter from a marked template: the
// values arrive in the text field as the terminal holds them, the template's keys act.
TEST_F(X11KeystrokeSinkTest, TypesTheValuesOfAReadingAsTheyAre)
{
    std::vector<vorlak::Record> records;
    QString expected;
    for (const ValueCase& value : valueCases()) {
        records.push_back({{"Name", windows1252(value.value)}, {"Code", value.name}});
        expected += QString::fromUtf16(value.typed) + QLatin1Char('\t') +
                    QString::fromLatin1(value.name) + QLatin1Char('\n');
    }
    // Typed, then removed again: "{BS 3}" takes back the "xyz" the template types.
    const QString reading =
        markedReading(QStringLiteral("[Name]{TAB}xyz{BS 3}[Code]{ENTER}\r\n"), records);
    QString error;
    ASSERT_TRUE(sink.send(SendKeys::parseKeyString(reading).keys, &error)) << error.toStdString();
    report();
    EXPECT_EQ(target.text, expected);
}

TEST_F(X11KeystrokeSinkTest, CapsLockDoesNotChangeWhatIsTypedAndStaysAsTheUserSetIt)
{
    QString error;
    ASSERT_TRUE(sink.send(keysOf(QStringLiteral("{CAPSLOCK}")), &error)) << error.toStdString();
    EXPECT_TRUE(capsLockOn());
    ASSERT_TRUE(sink.send(keysOf(QStringLiteral("aB\u00e7\u00c7+x1")), &error))
        << error.toStdString();
    EXPECT_TRUE(capsLockOn());
    ASSERT_TRUE(sink.send(keysOf(QStringLiteral("{CAPSLOCK}")), &error)) << error.toStdString();
    EXPECT_FALSE(capsLockOn());
    report();
    EXPECT_EQ(target.text, QStringLiteral("aB\u00e7\u00c7X1"));
}

TEST_F(X11KeystrokeSinkTest, GivesTheKeyCodesItBoundBackWhenDestroyed)
{
    const QString server = s_server->display();
    ASSERT_EQ(keymapHas(server, "ntilde"), false);
    {
        X11KeystrokeSink own;
        QString error;
        ASSERT_TRUE(own.send(keysOf(QStringLiteral("\u00f1") + kReport), &error))
            << error.toStdString();
        EXPECT_EQ(keymapHas(server, "ntilde"), true);
        EXPECT_EQ(keymapHas(server, "Ntilde"), true); // the other case shares its key code
        // Unbinding before the target has read the key would lose it.
        ASSERT_TRUE(target.waitForReport(&error, kReportTimeoutMs)) << error.toStdString();
    }
    EXPECT_EQ(keymapHas(server, "ntilde"), false);
    EXPECT_EQ(keymapHas(server, "Ntilde"), false);
    EXPECT_EQ(target.text, QStringLiteral("\u00f1"));
}

TEST_F(X11KeystrokeSinkTest, TooManyCharactersMissingFromTheKeyboardMapTypeNothing)
{
    // 24 Greek letters with their capitals need 24 key codes; Xvfb has 19 spare.
    QString greek;
    for (char16_t c = u'\u03b1'; c <= u'\u03c9'; ++c) {
        if (c != u'\u03c2') { // final sigma has no capital of its own
            greek += QChar(c);
        }
    }
    QString error;
    EXPECT_FALSE(sink.send(keysOf(QStringLiteral("ok") + greek), &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Keystroke output cannot type this text: it "
                                                "needs 24 keys that the keyboard map lacks")))
        << error.toStdString();
    report();
    EXPECT_EQ(target.text, QString());
}

struct UnavailableCase
{
    const char* name;
    std::optional<QByteArray> display;
    std::optional<QByteArray> wayland;
    const char16_t* reason;
};
void PrintTo(const UnavailableCase& c, std::ostream* os)
{
    *os << c.name;
}

class X11KeystrokeSinkUnavailable : public ::testing::TestWithParam<UnavailableCase>
{
};

TEST_P(X11KeystrokeSinkUnavailable, SaysWhyAndTypesNothing)
{
    const ScopedEnvironment display("DISPLAY", GetParam().display);
    const ScopedEnvironment wayland("WAYLAND_DISPLAY", GetParam().wayland);
    X11KeystrokeSink sink;
    QString error;
    EXPECT_FALSE(sink.send(keysOf(QStringLiteral("123{TAB}")), &error));
    EXPECT_EQ(error, QStringLiteral("Keystroke output is not available: ") +
                         QString::fromUtf16(GetParam().reason));
}

INSTANTIATE_TEST_SUITE_P(
    X11, X11KeystrokeSinkUnavailable,
    ::testing::Values(UnavailableCase{"NoDisplay", std::nullopt, std::nullopt,
                                      u"there is no X display (DISPLAY is not set)"},
                      UnavailableCase{
                          "WaylandWithoutX11", std::nullopt, QByteArray("wayland-0"),
                          u"this is a Wayland session without X11 (WAYLAND_DISPLAY is set, "
                          u"DISPLAY is not); typing into other applications needs an X11 "
                          u"session or XWayland"},
                      UnavailableCase{"DisplayNotRunning", QByteArray(":64999"), std::nullopt,
                                      u"the X display \":64999\" cannot be opened"}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

} // namespace
