#include "common/documentview.h"
#include "common/linebreaks.h"
#include "common/mainwindowcontrols.h"
#include "common/memorysettingsstore.h"
#include "common/settings.h"
#include "common/textcodec.h"
#include "config/inidocument.h"
#include "journal/memoryjournal.h"
#include "journal/sqlitejournal.h"
#include "output/outputfilepolicy.h"
#include "tempdir.h"

#include <QDir>
#include <QFile>
#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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
    MemoryJournal journal;
    OutputFilePolicy policy{store, view, window, &journal};
};

// Sees the output file at the moments the append is recorded and marked done.
class WatchingJournal : public MemoryJournal
{
public:
    std::optional<qint64> beginAppend(const QString& path, qint64 length) override
    {
        atBegin = QFileInfo(path).size();
        return MemoryJournal::beginAppend(path, length);
    }
    bool endAppend(qint64 id) override
    {
        atEnd = QFileInfo(pendingAppends().value(0).path).size();
        return MemoryJournal::endAppend(id);
    }
    qint64 atBegin = -1;
    qint64 atEnd = -1;
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
        {"f/Demo.txt", "", "%1", "", "Demo0000.txt", "0001"},
        {"g/out.d/data.txt", "0003", "%1", "", "data0003.txt", "0004"},
        {"h/Demo.txt", "0007", "%1", "Demo0007.txt Demo0008.txt", "Demo0009.txt", "0010"},
        {"i/Demo.txt", "9999", "%1", "Demo9999.txt", "Demo0000.txt", "0001"},
        {"j/Demo.txt", "7", "%1", "Demo7.txt Demo0008.txt", "Demo0009.txt", "0010"},
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

TEST_F(OutputFilePolicyTest, ACounterOfAnythingButDigitsIsRefusedAndNothingIsWritten)
{
    const char* const counters[] = {"abcd", "12ab", "-5", "1e9", " 7", "/../../escaped", "0\n1"};
    settings.MyFileName = path(QStringLiteral("a/b/shop.txt"));
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("a/b"))));
    ASSERT_TRUE(store.write(kCounterFileKey, settings.MyFileName));
    settings.IncrNumber = true;
    for (const char* counter : counters) {
        SCOPED_TRACE(counter);
        settings.IncrNumberText = u8(counter);

        const FileDeliveryResult result = deliver(QStringLiteral("new\n"));

        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.reason.contains(QLatin1String("IncrNumberText")));
        EXPECT_TRUE(result.reason.contains(u8(counter).replace(QLatin1Char('\n'), u'?')))
            << result.reason.toStdString();
        EXPECT_TRUE(result.written.isEmpty());
        EXPECT_EQ(files(QStringLiteral("a/b")), QStringList());
        EXPECT_EQ(files(QStringLiteral("a")), QStringList());
        EXPECT_EQ(files(), QStringList());
        EXPECT_EQ(settings.IncrNumberText, u8(counter));
        EXPECT_FALSE(store.value(kCounterKey).has_value());
    }
}

TEST_F(OutputFilePolicyTest, AFileNameHoldingNulIsRefusedByEveryPolicy)
{
    // As the settings file gives it back from a percent-encoded value.
    settings.MyFileName =
        IniDocument::decodeValue(u8("@Percent(") + path() + u8("/cut%00off.txt)"));
    ASSERT_EQ(settings.MyFileName, path() + QStringLiteral("/cut") + QChar(0) + u8("off.txt"));
    for (int policyIndex = 0; policyIndex < 3; ++policyIndex) {
        SCOPED_TRACE(policyIndex);
        usePolicy(policyIndex);

        const FileDeliveryResult result = deliver(QStringLiteral("new\n"));

        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.reason.contains(QLatin1String("MyFileName")));
        EXPECT_TRUE(result.reason.contains(QLatin1String("NUL")));
        EXPECT_EQ(files(), QStringList());
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
    // The old file is checked for UTF-8 in pieces of 64 KiB: these put the deciding bytes beyond
    // the first piece and a character across the boundary between two.
    const QByteArray firstPiece(64 * 1024 - 1, 'a');
    struct Case
    {
        const char* name;
        QByteArray old;
        QString reading;
        QByteArray added;
    };
    const Case cases[] = {
        {"utf-8 with BOM and CR LF",
         "\xEF\xBB\xBF"
         "caf\xC3\xA9\r\nx\r\n",
         QStringLiteral("n\u00e9w\n"), "n\xC3\xA9w\n"},
        {"windows-1252", "caf\xE9\r\n", QStringLiteral("n\u00e9w \u20ac\n"), "n\xE9w \x80\n"},
        {"windows-1252, reading beyond it", "caf\xE9\r\n", QStringLiteral("\u03a9\n"),
         "\xCE\xA9\n"},
        {"lone CR, no final break", "a\rb", QStringLiteral("c\n"), "c\n"},
        {"ascii reading to windows-1252", "caf\xE9", QStringLiteral("abc\n"), "abc\n"},
        {"empty file", "", QStringLiteral("\u00e9\n"), "\xC3\xA9\n"},
        {"utf-8 character across two pieces", firstPiece + "\xE2\x82\xAC" + "z",
         QStringLiteral("\u00e9\n"), "\xC3\xA9\n"},
        {"windows-1252 byte in the second piece", firstPiece + "bb\xE9", QStringLiteral("\u00e9\n"),
         "\xE9\n"},
        {"utf-8 cut off at the end", firstPiece + "b\xE2\x82", QStringLiteral("\u00e9\n"),
         "\xE9\n"},
    };
    settings.AppendFile = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        put(settings.MyFileName, c.old);
        ASSERT_TRUE(deliver(c.reading).ok);
        EXPECT_EQ(bytesOf(settings.MyFileName), c.old + c.added);
        EXPECT_EQ(view.text(), normaliseLineBreaks(TextCodec::decodeFileText(c.old) + c.reading));
    }
}

TEST_F(OutputFilePolicyTest, AppendRefusesAFolderAndLeavesItAlone)
{
    settings.AppendFile = true;
    settings.MyFileName = path(QStringLiteral("folder.txt"));
    ASSERT_TRUE(QDir().mkdir(settings.MyFileName));
    const FileDeliveryResult result = deliver(QStringLiteral("new\n"));
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
        EXPECT_TRUE(journal.pendingAppends().isEmpty()) << "the cut-back append is done";
    }
}

TEST_F(OutputFilePolicyTest, AppendIsJournaledBeforeItIsWrittenAndDoneOnlyOnceOnDisk)
{
    WatchingJournal watching;
    OutputFilePolicy watched{store, view, window, &watching};
    settings.AppendFile = true;
    put(settings.MyFileName, "old\n");
    view.setText(QStringLiteral("new\n"));
    ASSERT_TRUE(watched.deliver(settings).ok);
    EXPECT_EQ(watching.atBegin, 4);
    EXPECT_EQ(watching.atEnd, 8);
    EXPECT_TRUE(watching.pendingAppends().isEmpty());

    watching.refusal = QStringLiteral("disk full");
    const FileDeliveryResult refused = watched.deliver(settings);
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.reason.contains(QLatin1String("disk full")))
        << refused.reason.toStdString();
    EXPECT_EQ(bytesOf(settings.MyFileName), QByteArray("old\nnew\n"));
}

TEST_F(OutputFilePolicyTest, PendingAppendsAreCutBackToTheirLengthAtStartAndBeforeTheNextAppend)
{
    struct Case
    {
        const char* name;
        const char* onDisk; // nullptr: no file
        qint64 recorded;
        const char* settled; // nullptr: still no file
    };
    const Case cases[] = {
        {"longer: a tail from a crash", "old\npart of a rea", 4, "old\n"},
        {"as long", "old\n", 4, "old\n"},
        {"shorter", "ol", 4, "ol"},
        {"missing", nullptr, 4, nullptr},
    };
    settings.AppendFile = true;
    const QString other = path(QStringLiteral("other.txt"));
    for (const bool atStart : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (atStart ? " at start" : " before an append"));
            QFile::remove(settings.MyFileName);
            if (c.onDisk != nullptr) {
                put(settings.MyFileName, c.onDisk);
            }
            put(other, "x\ntail");
            ASSERT_TRUE(
                journal.beginAppend(QFileInfo(settings.MyFileName).absoluteFilePath(), c.recorded));
            ASSERT_TRUE(journal.beginAppend(other, 2));

            if (atStart) {
                EXPECT_EQ(policy.recoverInterruptedAppends(), QString());
                EXPECT_EQ(bytesOf(settings.MyFileName),
                          c.settled ? QByteArray(c.settled) : QByteArray("<missing>"));
                EXPECT_EQ(bytesOf(other), QByteArray("x\n"));
            } else {
                ASSERT_TRUE(deliver(QStringLiteral("new\n")).ok);
                EXPECT_EQ(bytesOf(settings.MyFileName), QByteArray(c.settled) + "new\n");
                EXPECT_EQ(bytesOf(other), QByteArray("x\ntail")) << "only the same file";
                ASSERT_EQ(journal.pendingAppends().size(), 1);
                EXPECT_EQ(journal.pendingAppends().first().path, other);
                EXPECT_EQ(policy.recoverInterruptedAppends(), QString());
            }
            EXPECT_TRUE(journal.pendingAppends().isEmpty());
        }
    }
}

TEST_F(OutputFilePolicyTest, AnAppendKilledMidwayIsUndoneOrWholeAfterRecovery)
{
    const QString journalFile = path(QStringLiteral("journal.sqlite"));
    const QByteArray old = QByteArray("earlier\r\n").repeated(1000);
    put(settings.MyFileName, old);
    settings.AppendFile = true;
    const QString reading(24 << 20, QLatin1Char('r'));
    view.setText(reading);

    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        SqliteJournal own(journalFile);
        OutputFilePolicy appending{store, view, window, &own};
        _exit(appending.deliver(settings).ok ? 0 : 1);
    }
    // Killed as soon as the reading starts to reach the file.
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (QFileInfo(settings.MyFileName).size() > old.size()) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
    }

    SqliteJournal recorded(journalFile);
    OutputFilePolicy recovering{store, view, window, &recorded};
    EXPECT_EQ(recovering.recoverInterruptedAppends(), QString());
    EXPECT_TRUE(recorded.pendingAppends().isEmpty());
    const QByteArray after = bytesOf(settings.MyFileName);
    RecordProperty("outcome", std::string(WIFSIGNALED(status) ? "killed, " : "finished, ") +
                                  (after.size() == old.size() ? "old bytes" : "whole reading"));
    if (after.size() == old.size()) {
        EXPECT_EQ(after, old);
    } else {
        EXPECT_EQ(after.size(), old.size() + reading.size());
        EXPECT_TRUE(after.startsWith(old));
        EXPECT_EQ(after.count('r'), reading.size());
    }
}

} // namespace
