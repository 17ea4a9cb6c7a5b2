#include "common/stagedfile.h"
#include "journal/memoryjournal.h"
#include "output/readingdelivery.h"
#include "programcoreparts.h"
#include "tempdir.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

namespace {

class ReadingDeliveryTest : public TempDirTest, public FakeProgramCore
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        core.language.applyLanguage(QStringLiteral("English"));
        Settings& s = core.state.settings;
        s.MyFileName = path(QStringLiteral("out.txt"));
        s.NewFile = true;
        s.AutoClear = 1;
        s.ComPortNumber = 3;
        core.state.TerminalId = "SHOP01  ";
        library.setDefault(QStringLiteral("I_ClearAllEntries"), 1);
    }
    /// A reading as the retrieval leaves it.
    void read(ReadingEnd end, const QString& text = QStringLiteral("5601;3\n5602;12\n"))
    {
        view.setText(text);
        core.state.DataReceived = true;
        core.state.LastReading = end;
        core.state.DocumentsRead = 2;
        core.state.ReadingJournaled = false;
        core.state.ReadingCleared = false;
    }
    [[nodiscard]] int clearings() const
    {
        return static_cast<int>(library.calls.count(QStringLiteral("I_ClearAllEntries")));
    }
    MemoryJournal& memory() { return dynamic_cast<MemoryJournal&>(core.journal); }
};

} // namespace

TEST_F(ReadingDeliveryTest, ACompleteReadingIsJournaledDeliveredAndClearedInThatOrder)
{
    read(ReadingEnd::Complete);
    core.readingDelivery.deliver();
    ASSERT_EQ(core.journal.readings().size(), 1);
    const JournalReading r = core.journal.readings().front();
    EXPECT_EQ(r.terminal, QStringLiteral("SHOP01"));
    EXPECT_EQ(r.port, 3);
    EXPECT_EQ(r.documents, 2);
    EXPECT_EQ(r.records, 2);
    EXPECT_EQ(r.bytes, 15);
    EXPECT_EQ(
        r.sha256,
        QString::fromLatin1(
            QCryptographicHash::hash("5601;3\n5602;12\n", QCryptographicHash::Sha256).toHex()));
    EXPECT_EQ(r.mode, QStringLiteral("overwrite"));
    EXPECT_EQ(r.target, path(QStringLiteral("out.txt")));
    EXPECT_EQ(r.result, QStringLiteral("delivered"));
    EXPECT_TRUE(r.cleared);
    EXPECT_LE(r.started, r.finished);
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("out.txt"))));
    EXPECT_EQ(clearings(), 1);
    EXPECT_TRUE(dialogs.messages().isEmpty());
}

TEST_F(ReadingDeliveryTest, NothingIsClearedUnlessTheReadingIsCompleteJournaledAndWritten)
{
    const struct
    {
        const char* name;
        ReadingEnd end;
        bool journalRefuses;
        bool noFilePolicy;
        const char* result; ///< nullptr: no row (the journal refused)
        bool fileWritten;
        const char* told;
    } cases[] = {
        {"cut short", ReadingEnd::Interrupted, false, false, "incomplete", false,
         "stopped after 2 document(s)"},
        {"no entries", ReadingEnd::TemplateMissing, false, false, "delivered", true,
         "The body template (AsciiDataFormat) is empty"},
        {"journal full", ReadingEnd::Complete, true, false, nullptr, true, "disk full"},
        {"no file policy", ReadingEnd::Complete, false, true, "delivery-failed", false,
         "No output file policy"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path(QStringLiteral("out.txt")));
        library.calls.clear();
        dialogs.shown.clear();
        memory().refusal = c.journalRefuses ? QStringLiteral("disk full") : QString();
        core.state.settings.NewFile = !c.noFilePolicy;
        const qsizetype rows = core.journal.readings().size();
        read(c.end);
        core.readingDelivery.deliver();

        EXPECT_EQ(clearings(), 0);
        EXPECT_EQ(QFile::exists(path(QStringLiteral("out.txt"))), c.fileWritten);
        ASSERT_EQ(dialogs.messages().size(), 1);
        EXPECT_TRUE(dialogs.messages().front().contains(QString::fromLatin1(c.told)));
        if (c.result == nullptr) {
            EXPECT_EQ(core.journal.readings().size(), rows);
        } else {
            ASSERT_EQ(core.journal.readings().size(), rows + 1);
            const JournalReading r = core.journal.readings().front();
            EXPECT_EQ(r.result, QString::fromLatin1(c.result));
            EXPECT_FALSE(r.cleared);
            EXPECT_EQ(r.message, dialogs.messages().front());
        }
    }
}

TEST_F(ReadingDeliveryTest, AJournalThatCannotBeWrittenIsToldOnceUntilItWorksAgain)
{
    memory().refusal = QStringLiteral("disk full");
    for (int reading = 0; reading < 3; ++reading) {
        read(ReadingEnd::Complete);
        core.readingDelivery.deliver();
    }
    EXPECT_EQ(dialogs.messages().size(), 1);
    memory().refusal.clear();
    read(ReadingEnd::Complete);
    core.readingDelivery.deliver();
    EXPECT_EQ(clearings(), 1) << "cleared again once the reading is in the journal";
}

TEST_F(ReadingDeliveryTest, KeyboardReadingsAndReadDataAreJournaledWithTheirMode)
{
    core.state.settings.InsertKeys = true;
    read(ReadingEnd::Complete, QStringLiteral("5601{TAB}3{ENTER}"));
    core.readingDelivery.deliver();
    ASSERT_EQ(keys.sent.size(), 1);
    EXPECT_EQ(clearings(), 1);
    read(ReadingEnd::Complete);
    core.readingDelivery.recordShownOnly();
    const QList<JournalReading> rows = core.journal.readings();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1].mode, QStringLiteral("keyboard"));
    EXPECT_EQ(rows[1].result, QStringLiteral("delivered"));
    EXPECT_TRUE(rows[1].target.isEmpty());
    EXPECT_EQ(rows[0].mode, QStringLiteral("manual"));
    EXPECT_EQ(rows[0].result, QStringLiteral("read-only"));
    EXPECT_FALSE(rows[0].cleared);
}

TEST_F(ReadingDeliveryTest, ARepeatedReadingIsSkippedOnlyWhenAskedAndOnlyAfterADelivery)
{
    Settings& s = core.state.settings;
    s.NewFile = false;
    s.AppendFile = true;
    for (const bool skip : {false, true}) {
        SCOPED_TRACE(skip ? "skipping" : "not skipping");
        s.SkipDuplicateReadings = skip;
        QFile::remove(path(QStringLiteral("out.txt")));
        core.state.TerminalId = skip ? "SHOP02  " : "SHOP03  ";
        for (int reading = 0; reading < 2; ++reading) {
            read(ReadingEnd::Complete);
            core.readingDelivery.deliver();
        }
        QFile file(path(QStringLiteral("out.txt")));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll().count("5601;3"), skip ? 1 : 2);
        const JournalReading last = core.journal.readings().front();
        EXPECT_EQ(last.result,
                  skip ? QStringLiteral("skipped-duplicate") : QStringLiteral("delivered"));
        EXPECT_TRUE(last.cleared) << "its data is safe, so AutoClear clears";
        EXPECT_EQ(window.panel1.startsWith(QStringLiteral("Reading ")), skip);
    }
    // A different reading of the same terminal is delivered again.
    read(ReadingEnd::Complete, QStringLiteral("5601;4\n"));
    core.readingDelivery.deliver();
    EXPECT_EQ(core.journal.readings().front().result, QStringLiteral("delivered"));
}

TEST_F(ReadingDeliveryTest, DeliveringAgainTypesTheEarlierTextAndNeverClearsTheTerminal)
{
    // Right after a complete reading that was journaled, the terminal in the cradle could be
    // cleared; the earlier reading delivered now is not its data.
    read(ReadingEnd::Complete);
    core.readingDelivery.deliver();
    ASSERT_EQ(clearings(), 1);
    JournalReading earlier = core.journal.readings().front();
    earlier.terminal = QStringLiteral("VAN07");
    earlier.documents = 5;
    earlier.text = QStringLiteral("88{TAB}1{ENTER}");
    core.state.settings.InsertKeys = true;

    EXPECT_TRUE(core.readingDelivery.deliverAgain(earlier));
    EXPECT_EQ(view.text(), earlier.text);
    EXPECT_EQ(keys.sent.size(), 1);
    EXPECT_EQ(clearings(), 1);
    const JournalReading again = core.journal.readings().front();
    EXPECT_NE(again.id, earlier.id);
    EXPECT_EQ(again.terminal, QStringLiteral("VAN07"));
    EXPECT_EQ(again.documents, 5);
    EXPECT_EQ(again.records, 1);
    EXPECT_EQ(again.mode, QStringLiteral("keyboard"));
    EXPECT_EQ(again.result, QStringLiteral("delivered"));
    EXPECT_FALSE(again.cleared);

    keys.failure = QStringLiteral("no display");
    EXPECT_FALSE(core.readingDelivery.deliverAgain(earlier));
    EXPECT_EQ(core.journal.readings().front().result, QStringLiteral("delivery-failed"));
    EXPECT_EQ(clearings(), 1);
}

TEST_F(ReadingDeliveryTest, StartUpRemovesReadingsOlderThanJournalDaysUnlessItIsNoNumber)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const int daysAgo : {400, 40, 2}) {
        JournalReading reading;
        reading.finished = now.addDays(-daysAgo);
        ASSERT_TRUE(core.journal.addReading(reading));
    }
    core.start({});
    EXPECT_EQ(core.journal.readings().size(), 2) << "the default keeps a year";
    const std::pair<const char*, qsizetype> cases[] = {{"none", 2}, {"0", 2}, {"-5", 2}, {"30", 1}};
    for (const auto& [days, kept] : cases) {
        SCOPED_TRACE(days);
        ASSERT_TRUE(store.write(QStringLiteral("JournalDays"), QString::fromLatin1(days)));
        core.start({});
        EXPECT_EQ(core.journal.readings().size(), kept);
    }
}

TEST_F(ReadingDeliveryTest, StartUpRemovesLeftoverTemporaryFilesBesideTheOutputFileOnly)
{
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("out"))));
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("elsewhere"))));
    ASSERT_TRUE(store.write(QStringLiteral("MyFileName"), path(QStringLiteral("out/shop.txt"))));
    const QString leftover = QStringLiteral("out/shop0003.txt.0123abcd.kolbrin-tmp");
    const QString kept[] = {QStringLiteral("out/shop.txt"), QStringLiteral("out/notes.kolbrin-tmp"),
                            QStringLiteral("elsewhere/a.txt.0123abcd.kolbrin-tmp")};
    const QStringList made = QStringList(std::begin(kept), std::end(kept)) << leftover;
    for (const QString& name : made) {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    // One another running instance is writing.
    StagedFile inUse;
    ASSERT_EQ(inUse.create(path(QStringLiteral("out/shop.txt"))), QString());

    core.start({});

    EXPECT_FALSE(QFile::exists(path(leftover)));
    for (const QString& name : kept) {
        EXPECT_TRUE(QFile::exists(path(name))) << name.toStdString();
    }
    EXPECT_TRUE(QFile::exists(inUse.path()));
    EXPECT_TRUE(dialogs.messages().isEmpty()) << dialogs.messages().join(u'|').toStdString();
}

TEST_F(ReadingDeliveryTest, ACounterThatIsNoNumberLeavesTheReadingUndeliveredOnTheTerminal)
{
    Settings& s = core.state.settings;
    s.NewFile = false;
    s.IncrNumber = true;
    s.IncrNumberText = QStringLiteral("/../../escaped");
    ASSERT_TRUE(store.write(QStringLiteral("IncrNumberTextFile"), s.MyFileName));
    read(ReadingEnd::Complete);

    core.readingDelivery.deliver();

    EXPECT_EQ(core.journal.readings().front().result, QStringLiteral("delivery-failed"));
    EXPECT_EQ(clearings(), 0);
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(
        dialogs.messages().front().contains(QLatin1String("IncrNumberText is \"/../../escaped\"")));
    EXPECT_EQ(QDir(path()).entryList(QDir::Files), QStringList());
}
