#include "common/documentview.h"
#include "common/mainwindowcontrols.h"
#include "config/memorysettingsstore.h"
#include "config/settings.h"
#include "output/outputfilepolicy.h"
#include "tempdir.h"

#include <QDir>
#include <QFile>
#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

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
    [[nodiscard]] QStringList files() const
    {
        return QDir(path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    MemorySettingsStore store;
    MemoryDocumentView view;
    StatusPanels window;
    Settings settings;
    OutputFilePolicy policy{store, view, window};
};

TEST(IncrementedFileName, CounterGoesBeforeTheFirstDotOfTheFileName)
{
    const struct
    {
        const char* name;
        const char* expected;
    } cases[] = {
        {"Demo.txt", "Demo0042.txt"},
        {"Demo", "Demo0042"},
        {"archive.tar.gz", "archive0042.tar.gz"},
        {"C:\\out.d\\data.txt", "C:\\out.d\\data0042.txt"},
        {"/srv/out.d/data", "/srv/out.d/data0042"},
        {"/srv/a.b\\c.d/data.txt", "/srv/a.b\\c.d/data0042.txt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IncrementedFileName(QString::fromUtf8(c.name), QStringLiteral("0042")),
                  QString::fromUtf8(c.expected));
    }
}

TEST(AdvanceCounter, KeepsFourDigitsAndWrapsAfterTheHighest)
{
    const struct
    {
        const char* counter;
        const char* next;
    } cases[] = {{"0000", "0001"}, {"0041", "0042"},  {"9999", "0000"},
                 {"12ab", "0013"}, {"", "0001"},      {"ab", "0001"},
                 {" 7", "0008"},   {"12345", "2346"}, {"-5", "0001"}};
    for (const auto& c : cases) {
        EXPECT_EQ(advanceCounter(QString::fromUtf8(c.counter)), QString::fromUtf8(c.next))
            << c.counter;
    }
}

TEST_F(OutputFilePolicyTest, NumberedFileUsesTheCounterOfItsOwnFileNameAndStoresTheNext)
{
    const struct
    {
        const char* file;
        const char* counter;
        const char* counterFile; // %1 is MyFileName
        const char* written;
        const char* next;
    } cases[] = {
        {"a/Demo.txt", "0007", "%1", "a/Demo0007.txt", "0008"},
        {"b/Demo.txt", "0007", " %1 ", "b/Demo0007.txt", "0008"},
        {"c/Demo.txt", "0042", "", "c/Demo0000.txt", "0001"},
        {"d/Demo.txt", "0042", "%1.old", "d/Demo0000.txt", "0001"},
        {"e/Demo.txt", "9999", "%1", "e/Demo9999.txt", "0000"},
        {"f/Demo.txt", "12ab", "%1", "f/Demo12ab.txt", "0013"},
        {"g/out.d/data.txt", "0003", "%1", "g/out.d/data0003.txt", "0004"},
    };
    settings.IncrNumber = true;
    settings.NewFile = false;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        settings.MyFileName = path(QString::fromUtf8(c.file));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(settings.MyFileName).path()));
        settings.IncrNumberText = QString::fromUtf8(c.counter);
        ASSERT_TRUE(store.write(kCounterFileKey,
                                QString::fromUtf8(c.counterFile).arg(settings.MyFileName)));
        const QString expected = path(QString::fromUtf8(c.written));

        const FileDeliveryResult result = deliver(QStringLiteral("line 1\nline 2\n"));

        ASSERT_TRUE(result.ok) << result.message().toStdString();
        EXPECT_EQ(result.written, QStringList{expected});
        EXPECT_EQ(bytesOf(expected), QByteArray("line 1\nline 2\n"));
        EXPECT_EQ(QDir(QFileInfo(expected).path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
        EXPECT_EQ(settings.IncrNumberText, QString::fromUtf8(c.next));
        EXPECT_EQ(store.read(kCounterKey, {}), QString::fromUtf8(c.next));
        EXPECT_EQ(store.read(kCounterFileKey, {}), settings.MyFileName);
        EXPECT_EQ(window.shown[1].last(), expected);
    }
}

TEST_F(OutputFilePolicyTest, NumberedFileNeverReplacesAnExistingFile)
{
    const struct
    {
        const char* counter;
        std::vector<const char*> existing;
        const char* written;
        const char* next;
    } cases[] = {
        {"0007", {"0007", "0008"}, "0009", "0010"},
        {"9999", {"9999"}, "0000", "0001"},
        {"12ab", {"12ab", "0013"}, "0014", "0015"},
    };
    settings.IncrNumber = true;
    settings.NewFile = false;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.counter);
        QDir(path()).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(path()));
        for (const char* taken : c.existing) {
            put(path(QStringLiteral("Demo%1.txt").arg(QString::fromUtf8(taken))), "earlier\n");
        }
        settings.IncrNumberText = QString::fromUtf8(c.counter);
        ASSERT_TRUE(store.write(kCounterFileKey, settings.MyFileName));

        const FileDeliveryResult result = deliver(QStringLiteral("new\n"));

        ASSERT_TRUE(result.ok) << result.message().toStdString();
        const QString expected =
            path(QStringLiteral("Demo%1.txt").arg(QString::fromUtf8(c.written)));
        EXPECT_EQ(result.written, QStringList{expected});
        EXPECT_EQ(bytesOf(expected), QByteArray("new\n"));
        for (const char* taken : c.existing) {
            EXPECT_EQ(bytesOf(path(QStringLiteral("Demo%1.txt").arg(QString::fromUtf8(taken)))),
                      QByteArray("earlier\n"));
        }
        EXPECT_EQ(files().size(), qsizetype(c.existing.size() + 1)) << "no temporary file left";
        EXPECT_EQ(store.read(kCounterKey, {}), QString::fromUtf8(c.next));
    }
}

TEST_F(OutputFilePolicyTest, AllTenThousandNumberedNamesTakenIsAFailure)
{
    for (int n = 0; n < 10000; ++n) {
        put(path(QStringLiteral("Demo%1.txt").arg(n, 4, 10, QLatin1Char('0'))), "x");
    }
    settings.IncrNumber = true;
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
    settings.NewFile = false;
    settings.AppendFile = true;
    ASSERT_TRUE(deliver(QStringLiteral("A1\nA2\n")).ok);
    EXPECT_EQ(bytesOf(settings.MyFileName), QByteArray("A1\nA2\n"));

    const FileDeliveryResult result = deliver(QStringLiteral("B1\n"));
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(bytesOf(settings.MyFileName), QByteArray("A1\nA2\nB1\n"));
    EXPECT_EQ(view.text(), QStringLiteral("A1\nA2\nB1\n")) << "the view shows the whole file";
    EXPECT_EQ(window.shown[1], QStringList(2, settings.MyFileName));
    EXPECT_EQ(files(), QStringList{QStringLiteral("Demo.txt")});
}

TEST_F(OutputFilePolicyTest, AppendKeepsTheOldBytesAndAddsTheReadingInTheOldEncoding)
{
    const struct
    {
        const char* name;
        QByteArray old;
        QString reading;
        QByteArray file;
        QString view;
    } cases[] = {
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
    settings.NewFile = false;
    settings.AppendFile = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        put(settings.MyFileName, c.old);
        ASSERT_TRUE(deliver(c.reading).ok);
        EXPECT_EQ(bytesOf(settings.MyFileName), c.file);
        EXPECT_EQ(view.text(), c.view);
    }
}

TEST_F(OutputFilePolicyTest, AppendRefusesAnOldFileItCannotLoadAndLeavesItAlone)
{
    settings.NewFile = false;
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

TEST_F(OutputFilePolicyTest, AFailedPolicyStopsTheLaterOnes)
{
    settings.IncrNumber = settings.AppendFile = settings.NewFile = true;
    put(settings.MyFileName, "earlier reading\n");
    policy.setAppendSizeLimit(4);

    const FileDeliveryResult result = deliver(QStringLiteral("new\n"));

    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.written, QStringList{path(QStringLiteral("Demo0000.txt"))});
    EXPECT_EQ(bytesOf(settings.MyFileName), QByteArray("earlier reading\n"));
}

TEST_F(OutputFilePolicyTest, UnwritablePathsFailWithAReasonNamingTheFolder)
{
    put(path(QStringLiteral("blocker")), "a file where a folder should be");
    const struct
    {
        const char* file;
        const char* inReason;
    } places[] = {{"", "no output file name"},
                  {"missing/Demo.txt", "missing\" does not exist"},
                  {"blocker/Demo.txt", "blocker\" is a file, not a folder"}};
    for (int policyIndex = 0; policyIndex < 3; ++policyIndex) {
        settings.IncrNumber = policyIndex == 0;
        settings.AppendFile = policyIndex == 1;
        settings.NewFile = policyIndex == 2;
        for (const auto& place : places) {
            SCOPED_TRACE(std::string(place.file) + " policy " + std::to_string(policyIndex));
            settings.MyFileName = *place.file ? path(QString::fromUtf8(place.file)) : QString();

            const FileDeliveryResult result = deliver(QStringLiteral("new\n"));

            EXPECT_FALSE(result.ok);
            EXPECT_TRUE(result.reason.contains(QString::fromUtf8(place.inReason)))
                << result.reason.toStdString();
            EXPECT_EQ(result.failedPath.isEmpty(), !*place.file);
            EXPECT_TRUE(result.written.isEmpty());
            EXPECT_EQ(files(), QStringList{QStringLiteral("blocker")});
            EXPECT_FALSE(store.value(kCounterKey).has_value());
        }
    }
}

TEST_F(OutputFilePolicyTest, AFailedWriteLeavesTheEarlierFileWholeAndNoTemporaryFile)
{
    const QByteArray earlier(600, 'e');
    const QString reading = QString(4000, QLatin1Char('r'));
    for (int policyIndex = 0; policyIndex < 3; ++policyIndex) {
        SCOPED_TRACE(policyIndex);
        settings.IncrNumber = policyIndex == 0;
        settings.AppendFile = policyIndex == 1;
        settings.NewFile = policyIndex == 2;
        put(settings.MyFileName, earlier);
        FileDeliveryResult result;
        {
            const FileSizeLimit limit(1024);
            result = deliver(reading);
        }
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.reason.isEmpty());
        EXPECT_EQ(bytesOf(settings.MyFileName), earlier);
        EXPECT_EQ(files(), QStringList{QStringLiteral("Demo.txt")});
        EXPECT_FALSE(store.value(kCounterKey).has_value());
    }
}

TEST_F(OutputFilePolicyTest, NumberedFileGetsTheUsualPermissionsOfANewFile)
{
    const QString plain = path(QStringLiteral("plain.txt"));
    put(plain, "x");
    settings.IncrNumber = true;
    settings.NewFile = false;
    ASSERT_TRUE(deliver(QStringLiteral("new\n")).ok);
    EXPECT_EQ(QFile::permissions(path(QStringLiteral("Demo0000.txt"))), QFile::permissions(plain));
}

} // namespace
