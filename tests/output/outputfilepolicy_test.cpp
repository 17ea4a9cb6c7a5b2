#include "common/documentview.h"
#include "common/mainwindowcontrols.h"
#include "common/memorysettingsstore.h"
#include "common/settings.h"
#include "output/outputfilepolicy.h"
#include "tempdir.h"

#include <QDir>
#include <QFile>
#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>

namespace {

QString u8(const char* text)
{
    return QString::fromUtf8(text);
}

class StatusPanels : public MainWindowControls
{
public:
    void setStatusText(int panel, const QString& text) override { shown[panel].append(text); }
    QString statusText(int panel) const override { return shown[panel].value(0); }
    void setTimerEnabled(bool) override {}
    bool timerEnabled() const override { return true; }
    bool isMinimised() const override { return false; }

    QStringList shown[3];
};

// Writes beyond `bytes` fail for this process (EFBIG), as on a full disk; root is not exempt.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, m_old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

const QString kCounterKey = QStringLiteral("IncrNumberText");
const QString kCounterFileKey = QStringLiteral("IncrNumberTextFile");

class OutputFilePolicyTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        settings.MyFileName = path(QStringLiteral("Demo.txt"));
        settings.IncrNumberText = QStringLiteral("0000");
    }
    FileDeliveryResult deliver(const QString& reading)
    {
        view.setText(reading);
        return policy.deliver(settings);
    }
    void usePolicy(int index)
    {
        settings.IncrNumber = index == 0;
        settings.AppendFile = index == 1;
        settings.NewFile = index == 2;
    }
    static QByteArray bytesOf(const QString& file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static void put(const QString& file, const QByteArray& bytes)
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    [[nodiscard]] QStringList files(const QString& folder = {}) const
    {
        return QDir(path(folder)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    MemorySettingsStore store;
    MemoryDocumentView view;
    StatusPanels window;
    Settings settings;
    OutputFilePolicy policy{store, view, window};
};

TEST(IncrementedFileName, CounterGoesBeforeTheFirstDotOfTheFileName)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Demo.txt", "Demo0042.txt"},
        {"Demo", "Demo0042"},
        {"archive.tar.gz", "archive0042.tar.gz"},
        {"C:\\out.d\\data.txt", "C:\\out.d\\data0042.txt"},
        {"/srv/a.b\\c.d/data", "/srv/a.b\\c.d/data0042"}};
    for (const auto& [name, expected] : cases) {
        EXPECT_EQ(IncrementedFileName(u8(name), QStringLiteral("0042")), u8(expected));
    }
}

TEST(AdvanceCounter, IsAlwaysFourDigits)
{
    const std::pair<const char*, const char*> cases[] = {
        {"0041", "0042"}, {"9999", "0000"},  {"12ab", "0013"}, {"", "0001"},
        {" 7", "0008"},   {"12345", "2346"}, {"-5", "0001"}};
    for (const auto& [counter, next] : cases) {
        EXPECT_EQ(advanceCounter(u8(counter)), u8(next)) << counter;
    }
}

TEST_F(OutputFilePolicyTest, NumberedFileTakesTheNextFreeNameOfItsCounterAndStoresTheNext)
{
    struct Case
    {
        const char *file, *counter, *counterFile /* %1: MyFileName */, *existing, *written, *next;
    };
    const Case cases[] = {
        {"a/Demo.txt", "0007", "%1", "", "Demo0007.txt", "0008"},
        {"b/Demo.txt", "0007", " %1 ", "", "Demo0007.txt", "0008"},
        {"c/Demo.txt", "0042", "", "", "Demo0000.txt", "0001"},
        {"d/Demo.txt", "0042", "%1.old", "", "Demo0000.txt", "0001"},
        {"e/Demo.txt", "9999", "%1", "", "Demo9999.txt", "0000"},
        {"f/Demo.txt", "12ab", "%1", "", "Demo12ab.txt", "0013"},
        {"g/out.d/data.txt", "0003", "%1", "", "data0003.txt", "0004"},
        {"h/Demo.txt", "0007", "%1", "Demo0007.txt Demo0008.txt", "Demo0009.txt", "0010"},
        {"i/Demo.txt", "9999", "%1", "Demo9999.txt", "Demo0000.txt", "0001"},
        {"j/Demo.txt", "12ab", "%1", "Demo12ab.txt Demo0013.txt", "Demo0014.txt", "0015"},
    };
    const QString plain = path(QStringLiteral("plain.txt"));
    put(plain, "x");
    settings.IncrNumber = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        settings.MyFileName = path(u8(c.file));
        const QString folder = QFileInfo(settings.MyFileName).path();
        ASSERT_TRUE(QDir().mkpath(folder));
        const QStringList existing = u8(c.existing).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (const QString& name : existing) {
            put(folder + QLatin1Char('/') + name, "earlier\n");
        }
        settings.IncrNumberText = u8(c.counter);
        ASSERT_TRUE(store.write(kCounterFileKey, u8(c.counterFile).arg(settings.MyFileName)));
        const QString expected = folder + QLatin1Char('/') + u8(c.written);

        const FileDeliveryResult result = deliver(QStringLiteral("line 1\nline 2\n"));

        ASSERT_TRUE(result.ok) << result.message().toStdString();
        EXPECT_EQ(result.written, QStringList{expected});
        EXPECT_EQ(window.shown[1].last(), expected);
        EXPECT_EQ(bytesOf(expected), QByteArray("line 1\nline 2\n"));
        for (const QString& name : existing) {
            EXPECT_EQ(bytesOf(folder + QLatin1Char('/') + name), QByteArray("earlier\n"));
        }
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), existing.size() + 1)
            << "no temporary file is left";
        EXPECT_EQ(QFile::permissions(expected), QFile::permissions(plain));
        EXPECT_EQ(settings.IncrNumberText, u8(c.next));
        EXPECT_EQ(store.read(kCounterKey, {}), u8(c.next));
        EXPECT_EQ(store.read(kCounterFileKey, {}), settings.MyFileName);
    }
}

TEST_F(OutputFilePolicyTest, AllTenThousandNumberedNamesTakenIsAFailure)
{
    for (int n = 0; n < 10000; ++n) {
        put(path(QStringLiteral("Demo%1.txt").arg(n, 4, 10, QLatin1Char('0'))), "x");
    }
    settings.IncrNumber = settings.NewFile = true;
    settings.IncrNumberText = QStringLiteral("0123");
    ASSERT_TRUE(store.write(kCounterFileKey, settings.MyFileName));

    const FileDeliveryResult result = deliver(QStringLiteral("new\n"));

    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.reason.contains(QLatin1String("10,000"))) << result.reason.toStdString();
    EXPECT_TRUE(result.written.isEmpty());
    EXPECT_EQ(files().size(), 10000);
    EXPECT_EQ(bytesOf(path(QStringLiteral("Demo0123.txt"))), QByteArray("x"));
    EXPECT_FALSE(store.value(kCounterKey).has_value());
    EXPECT_FALSE(QFile::exists(settings.MyFileName)) << "the overwrite policy must not run";
}

TEST_F(OutputFilePolicyTest, AppendToAMissingFileThenAgainGivesBothReadingsInOrder)
{
    settings.AppendFile = true;
    ASSERT_TRUE(deliver(QStringLiteral("A1\nA2\n")).ok);
    EXPECT_EQ(bytesOf(settings.MyFileName), QByteArray("A1\nA2\n"));

    ASSERT_TRUE(deliver(QStringLiteral("B1\n")).ok);
    EXPECT_EQ(bytesOf(settings.MyFileName), QByteArray("A1\nA2\nB1\n"));
    EXPECT_EQ(view.text(), QStringLiteral("A1\nA2\nB1\n")) << "the view shows the whole file";
    EXPECT_EQ(window.shown[1], QStringList(2, settings.MyFileName));
    EXPECT_EQ(files(), QStringList{QStringLiteral("Demo.txt")});
}

TEST_F(OutputFilePolicyTest, AppendKeepsTheOldBytesAndAddsTheReadingInTheOldEncoding)
{
    struct Case
    {
        const char* name;
        QByteArray old;
        QString reading;
        QByteArray file;
        QString view;
    };
    const Case cases[] = {
        {"utf-8 with BOM and CR LF",
         "\xEF\xBB\xBF"
         "caf\xC3\xA9\r\nx\r\n",
         QStringLiteral("n\u00e9w\n"),
         "\xEF\xBB\xBF"
         "caf\xC3\xA9\r\nx\r\nn\xC3\xA9w\n",
         QStringLiteral("caf\u00e9\nx\nn\u00e9w\n")},
        {"windows-1252", "caf\xE9\r\n", QStringLiteral("n\u00e9w \u20ac\n"),
         "caf\xE9\r\nn\xE9w \x80\n", QStringLiteral("caf\u00e9\nn\u00e9w \u20ac\n")},
        {"windows-1252, reading beyond it", "caf\xE9\r\n", QStringLiteral("\u03a9\n"),
         "caf\xE9\r\n\xCE\xA9\n", QStringLiteral("caf\u00e9\n\u03a9\n")},
        {"lone CR, no final break", "a\rb", QStringLiteral("c\n"), "a\rbc\n",
         QStringLiteral("a\nbc\n")},
    };
    settings.AppendFile = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        put(settings.MyFileName, c.old);
        ASSERT_TRUE(deliver(c.reading).ok);
        EXPECT_EQ(bytesOf(settings.MyFileName), c.file);
        EXPECT_EQ(view.text(), c.view);
    }
}

TEST_F(OutputFilePolicyTest, AppendRefusesAnOldFileItCannotLoadAndLeavesItAlone)
{
    settings.AppendFile = true;
    put(settings.MyFileName, "earlier reading\n");
    policy.setAppendSizeLimit(8);

    FileDeliveryResult result = deliver(QStringLiteral("new\n"));

    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.failedPath, settings.MyFileName);
    EXPECT_TRUE(result.reason.contains(QLatin1String("too large"))) << result.reason.toStdString();
    EXPECT_EQ(bytesOf(settings.MyFileName), QByteArray("earlier reading\n"));
    EXPECT_EQ(view.text(), QStringLiteral("new\n")) << "the reading stays in the view";

    settings.MyFileName = path(QStringLiteral("folder.txt"));
    ASSERT_TRUE(QDir().mkdir(settings.MyFileName));
    result = deliver(QStringLiteral("new\n"));
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.reason.contains(QLatin1String("folder"))) << result.reason.toStdString();
    EXPECT_TRUE(QFileInfo(settings.MyFileName).isDir());
}

TEST_F(OutputFilePolicyTest, EverySetPolicyRunsNumberedThenAppendThenOverwrite)
{
    settings.IncrNumber = settings.AppendFile = settings.NewFile = true;
    put(settings.MyFileName, "old\r\n");
    const QString numbered = path(QStringLiteral("Demo0000.txt"));

    const FileDeliveryResult result = deliver(QStringLiteral("new\n"));

    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.written, (QStringList{numbered, settings.MyFileName, settings.MyFileName}));
    EXPECT_EQ(window.shown[1], result.written);
    EXPECT_EQ(bytesOf(numbered), QByteArray("new\n"));
    // Overwrite saves the view, which after the append holds the old text and the reading.
    EXPECT_EQ(bytesOf(settings.MyFileName), QByteArray("old\nnew\n"));
}

TEST_F(OutputFilePolicyTest, UnwritablePathsFailWithAReasonNamingTheFolder)
{
    put(path(QStringLiteral("blocker")), "a file where a folder should be");
    const std::pair<const char*, const char*> places[] = {
        {"", "no output file name"},
        {"missing/Demo.txt", "missing\" does not exist"},
        {"blocker/Demo.txt", "blocker\" is a file, not a folder"}};
    for (int policyIndex = 0; policyIndex < 3; ++policyIndex) {
        usePolicy(policyIndex);
        for (const auto& [file, inReason] : places) {
            SCOPED_TRACE(std::string(file) + " policy " + std::to_string(policyIndex));
            settings.MyFileName = *file ? path(u8(file)) : QString();

            const FileDeliveryResult result = deliver(QStringLiteral("new\n"));

            EXPECT_FALSE(result.ok);
            EXPECT_TRUE(result.reason.contains(u8(inReason))) << result.reason.toStdString();
            EXPECT_EQ(result.failedPath.isEmpty(), !*file);
            EXPECT_TRUE(result.written.isEmpty());
            EXPECT_EQ(files(), QStringList{QStringLiteral("blocker")});
            EXPECT_FALSE(store.value(kCounterKey).has_value());
        }
    }
}

TEST_F(OutputFilePolicyTest, AFailedWriteLeavesTheEarlierFileWholeAndNoTemporaryFile)
{
    const QByteArray earlier(600, 'e');
    for (int policyIndex = 0; policyIndex < 3; ++policyIndex) {
        SCOPED_TRACE(policyIndex);
        usePolicy(policyIndex);
        put(settings.MyFileName, earlier);
        FileDeliveryResult result;
        {
            const FileSizeLimit limit(1024);
            result = deliver(QString(4000, QLatin1Char('r')));
        }
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.reason.isEmpty());
        EXPECT_EQ(bytesOf(settings.MyFileName), earlier);
        EXPECT_EQ(files(), QStringList{QStringLiteral("Demo.txt")});
        EXPECT_FALSE(store.value(kCounterKey).has_value());
    }
}

} // namespace
