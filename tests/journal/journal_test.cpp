#include "journal/memoryjournal.h"
#include "journal/sqlitejournal.h"
#include "ordinaryuser.h"
#include "tempdir.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>

// Readable readings in failure output.
static void PrintTo(const JournalReading& r, std::ostream* os)
{
    *os << "reading " << r.id << " of " << r.terminal.toStdString() << ", "
        << r.result.toStdString() << ", finished "
        << r.finished.toString(Qt::ISODateWithMs).toStdString();
}

namespace {

QDateTime utc(const char* iso)
{
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODateWithMs);
}

JournalReading makeReading(const QString& terminal, const char* finished, const char16_t* result)
{
    JournalReading r;
    r.terminal = terminal;
    r.port = 3;
    r.started = utc(finished).addMSecs(-1500);
    r.finished = utc(finished);
    r.documents = 2;
    r.records = 41;
    r.bytes = 5'000'000'000; // beyond 32 bits
    r.sha256 = QStringLiteral("9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08");
    r.text = QStringLiteral("A;1\r\nB;\u00e9\u20ac\u4e2d\n\ttab 'quote' \"dq\"");
    r.mode = QStringLiteral("append");
    r.target = QStringLiteral("/home/u/out.txt");
    r.result = QString::fromUtf16(result);
    r.message = QStringLiteral("Written to /home/u/out.txt");
    return r;
}

std::string fileHash(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                     .toHex()
                     .toStdString()
               : std::string();
}

/// A connection of its own to a journal file, to look at or change it behind the journal's back.
class RawFile
{
public:
    explicit RawFile(const QString& path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        EXPECT_TRUE(db.open());
    }
    ~RawFile()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    QVariant value(const QString& sql)
    {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        EXPECT_TRUE(query.exec(sql)) << sql.toStdString();
        return query.next() ? query.value(0) : QVariant();
    }
    bool exec(const QString& sql) { return QSqlQuery(QSqlDatabase::database(m_name)).exec(sql); }

private:
    QString m_name = QStringLiteral("raw-journal-file");
};

// --- behaviour every journal shares -----------------------------------------------------------

struct JournalKind
{
    const char* name;
    std::function<std::unique_ptr<Journal>(const QString& folder)> make;
};

void PrintTo(const JournalKind& kind, std::ostream* os)
{
    *os << kind.name;
}

const JournalKind kKinds[] = {
    {"Memory", [](const QString&) { return std::make_unique<MemoryJournal>(); }},
    {"Sqlite",
     [](const QString& folder) {
         return std::make_unique<SqliteJournal>(folder + QStringLiteral("/journal.sqlite"));
     }},
};

class EveryJournal : public TempDirTest, public ::testing::WithParamInterface<JournalKind>
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        journal = GetParam().make(path());
        ASSERT_TRUE(journal->problem().isEmpty()) << journal->problem().toStdString();
    }
    JournalReading add(const QString& terminal, const char* finished, const char16_t* result)
    {
        JournalReading r = makeReading(terminal, finished, result);
        EXPECT_TRUE(journal->addReading(r)) << journal->problem().toStdString();
        return r;
    }
    std::unique_ptr<Journal> journal;
};

TEST_P(EveryJournal, KeepsReadingsAndEventsNewestFirst)
{
    const QString a = QStringLiteral("T-01"), b = QStringLiteral("T-02");
    const JournalReading r1 = add(a, "2024-05-01T08:00:00.001Z", JournalResult::Delivered);
    const JournalReading r2 = add(b, "2024-05-01T09:00:00.250Z", JournalResult::Delivered);
    const JournalReading r3 = add(a, "2024-05-02T10:00:00.999Z", JournalResult::DeliveryFailed);
    JournalReading bare; // every field left empty or unset
    ASSERT_TRUE(journal->addReading(bare));

    EXPECT_GT(r1.id, 0);
    EXPECT_LT(r1.id, r2.id);
    EXPECT_LT(r2.id, r3.id);
    EXPECT_EQ(journal->readings(), (QList<JournalReading>{bare, r3, r2, r1}));
    EXPECT_EQ(journal->readings(2), (QList<JournalReading>{bare, r3}));
    EXPECT_EQ(journal->reading(r2.id), r2);
    EXPECT_EQ(journal->reading(r3.id + 1000), std::nullopt);

    // The newest delivered reading of each terminal; a failed one after it does not count.
    const struct
    {
        QString terminal;
        std::optional<JournalReading> expected;
    } delivered[] = {{a, r1}, {b, r2}, {QStringLiteral("T-03"), std::nullopt}};
    for (const auto& row : delivered) {
        EXPECT_EQ(journal->lastDelivered(row.terminal), row.expected) << row.terminal.toStdString();
    }

    JournalEvent e1{0,
                    utc("2024-05-01T08:00:01.500Z"),
                    QStringLiteral("clear-all"),
                    a,
                    {},
                    QStringLiteral("ok")};
    JournalEvent e2{0, utc("2024-05-01T08:05:00.000Z"),          QStringLiteral("send-list"),
                    b, QStringLiteral("list 4: /home/u/l4.txt"), QStringLiteral("timed out")};
    ASSERT_TRUE(journal->addEvent(e1));
    ASSERT_TRUE(journal->addEvent(e2));
    EXPECT_LT(e1.id, e2.id);
    EXPECT_EQ(journal->events(), (QList<JournalEvent>{e2, e1}));
    EXPECT_EQ(journal->events(1), (QList<JournalEvent>{e2}));
}

TEST_P(EveryJournal, UpdateReplacesTheReadingWithTheSameIdOnly)
{
    JournalReading pending =
        add(QStringLiteral("T-01"), "2024-05-01T08:00:00.000Z", JournalResult::Pending);
    const JournalReading other =
        add(QStringLiteral("T-01"), "2024-05-01T08:10:00.000Z", JournalResult::ReadOnly);
    EXPECT_EQ(journal->lastDelivered(QStringLiteral("T-01")), std::nullopt);

    pending.result = QString::fromUtf16(JournalResult::Delivered);
    pending.cleared = true;
    pending.message = QStringLiteral("Delivered and cleared");
    ASSERT_TRUE(journal->updateReading(pending)) << journal->problem().toStdString();
    EXPECT_TRUE(journal->problem().isEmpty());
    EXPECT_EQ(journal->readings(), (QList<JournalReading>{other, pending}));
    EXPECT_EQ(journal->lastDelivered(QStringLiteral("T-01")), pending);

    JournalReading unknown = pending;
    unknown.id = other.id + 1000;
    EXPECT_FALSE(journal->updateReading(unknown));
    EXPECT_FALSE(journal->problem().isEmpty());
    EXPECT_EQ(journal->readings(), (QList<JournalReading>{other, pending}));
}

TEST_P(EveryJournal, RemovesWhatIsOlderThanTheLimitAndNeverReusesIds)
{
    add(QStringLiteral("T-01"), "2024-05-01T07:59:59.999Z", JournalResult::Delivered);
    const JournalReading atLimit =
        add(QStringLiteral("T-01"), "2024-05-01T08:00:00.000Z", JournalResult::Incomplete);
    const JournalReading newest =
        add(QStringLiteral("T-01"), "2024-06-01T00:00:00.000Z", JournalResult::Delivered);
    JournalEvent old{0, utc("2024-04-30T23:00:00.000Z"), QStringLiteral("upload"), {}, {}, {}};
    JournalEvent kept{0, utc("2024-05-01T08:00:00.001Z"), QStringLiteral("upload"), {}, {}, {}};
    ASSERT_TRUE(journal->addEvent(old));
    ASSERT_TRUE(journal->addEvent(kept));

    // The limit itself is given as local time with an offset: the same instant as 08:00Z.
    ASSERT_TRUE(journal->removeOlderThan(utc("2024-05-01T10:00:00.000+02:00")));
    EXPECT_EQ(journal->readings(), (QList<JournalReading>{newest, atLimit}));
    EXPECT_EQ(journal->events(), (QList<JournalEvent>{kept}));

    ASSERT_TRUE(journal->removeOlderThan(utc("2025-01-01T00:00:00.000Z")));
    EXPECT_TRUE(journal->readings().isEmpty());
    const JournalReading next =
        add(QStringLiteral("T-01"), "2025-01-02T00:00:00.000Z", JournalResult::Pending);
    EXPECT_GT(next.id, newest.id);
}

TEST_P(EveryJournal, KeepsAppendsPendingUntilTheyAreEnded)
{
    EXPECT_TRUE(journal->pendingAppends().isEmpty());
    const QString file = QStringLiteral("/home/u/out \u00e9.txt");
    const std::optional<qint64> first = journal->beginAppend(file, 5'000'000'000);
    const std::optional<qint64> second = journal->beginAppend(file, 0);
    const std::optional<qint64> third = journal->beginAppend(QStringLiteral("/tmp/b"), 7);
    ASSERT_TRUE(first && second && third) << journal->problem().toStdString();
    EXPECT_LT(*first, *second);
    EXPECT_LT(*second, *third);

    ASSERT_TRUE(journal->endAppend(*second));
    EXPECT_TRUE(journal->endAppend(*second)) << "ending twice is harmless";
    EXPECT_EQ(journal->pendingAppends(),
              (QList<JournalAppend>{{*first, file, 5'000'000'000},
                                    {*third, QStringLiteral("/tmp/b"), 7}}));
    ASSERT_TRUE(journal->endAppend(*first));
    ASSERT_TRUE(journal->endAppend(*third));
    EXPECT_TRUE(journal->pendingAppends().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Journals, EveryJournal, ::testing::ValuesIn(kKinds),
                         [](const auto& kind) { return std::string(kind.param.name); });

// --- the SQLite file ---------------------------------------------------------------------------

class SqliteJournalFile : public TempDirTest
{
protected:
    [[nodiscard]] QString file() const { return path(QStringLiteral("data/kolbrin/j.sqlite")); }
};

TEST_F(SqliteJournalFile, DefaultsToTheUsersDataFolder)
{
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", path().toUtf8());
    EXPECT_EQ(SqliteJournal::defaultFilePath(), path(QStringLiteral("kolbrin/journal.sqlite")));
    if (saved.isNull()) {
        qunsetenv("XDG_DATA_HOME");
    } else {
        qputenv("XDG_DATA_HOME", saved);
    }
}

TEST_F(SqliteJournalFile, OutlivesTheProgramAndIsSharedWhileOpen)
{
    JournalReading reading =
        makeReading(QStringLiteral("T-01"), "2024-05-01T08:30:00.250Z", JournalResult::Delivered);
    {
        SqliteJournal first(file()); // makes the missing folders
        ASSERT_TRUE(first.isOpen()) << first.problem().toStdString();
        ASSERT_TRUE(first.addReading(reading));
    }
    SqliteJournal program(file());
    SqliteJournal history(file());
    EXPECT_EQ(history.readings(), QList<JournalReading>{reading});

    // Each sees what the other writes at once.
    reading.cleared = true;
    ASSERT_TRUE(history.updateReading(reading));
    EXPECT_EQ(program.reading(reading.id), reading);
    JournalEvent event{0, utc("2024-05-01T08:31:00.000Z"), QStringLiteral("clear-all"), {}, {}, {}};
    ASSERT_TRUE(program.addEvent(event));
    EXPECT_EQ(history.events(), QList<JournalEvent>{event});

    RawFile raw(file());
    EXPECT_EQ(raw.value(QStringLiteral("PRAGMA user_version")).toInt(),
              SqliteJournal::schemaVersion);
    EXPECT_EQ(raw.value(QStringLiteral("PRAGMA journal_mode")).toString(), u"wal");
    EXPECT_EQ(
        raw.value(QStringLiteral("SELECT started || ' ' || finished FROM readings")).toString(),
        QStringLiteral("2024-05-01T08:29:58.750Z 2024-05-01T08:30:00.250Z"));
}

TEST_F(SqliteJournalFile, WaitsForAnotherWriterThenFailsWithTheReason)
{
    SqliteJournal journal(file());
    ASSERT_TRUE(journal.isOpen());
    RawFile other(file());
    ASSERT_TRUE(other.exec(QStringLiteral("BEGIN IMMEDIATE")));
    JournalReading r;
    QElapsedTimer waited;
    waited.start();
    EXPECT_FALSE(journal.addReading(r));
    EXPECT_GE(waited.elapsed(), 4000);
    EXPECT_TRUE(journal.problem().contains(file())) << journal.problem().toStdString();
    EXPECT_TRUE(journal.problem().contains(u"locked")) << journal.problem().toStdString();
    ASSERT_TRUE(other.exec(QStringLiteral("COMMIT")));
    EXPECT_TRUE(journal.addReading(r)) << journal.problem().toStdString();
    EXPECT_TRUE(journal.problem().isEmpty());
}

// A journal that cannot be opened: it is left as it was, and the object fails every call
// with the file and the reason.
void expectUnusable(SqliteJournal& journal, const QString& file, const QString& reason)
{
    EXPECT_FALSE(journal.isOpen());
    JournalReading r;
    JournalEvent e;
    EXPECT_FALSE(journal.addReading(r));
    EXPECT_FALSE(journal.updateReading(r));
    EXPECT_FALSE(journal.addEvent(e));
    EXPECT_FALSE(journal.removeOlderThan(utc("2030-01-01T00:00:00.000Z")));
    EXPECT_TRUE(journal.readings().isEmpty());
    EXPECT_TRUE(journal.events().isEmpty());
    EXPECT_EQ(journal.reading(1), std::nullopt);
    EXPECT_EQ(journal.lastDelivered(QStringLiteral("T-01")), std::nullopt);
    EXPECT_TRUE(journal.problem().contains(file)) << journal.problem().toStdString();
    EXPECT_TRUE(journal.problem().contains(reason)) << journal.problem().toStdString();
}

TEST_F(SqliteJournalFile, UpgradesAVersionOneFileKeepingItsReadings)
{
    JournalReading kept =
        makeReading(QStringLiteral("T-01"), "2024-05-01T08:00:00.000Z", JournalResult::Delivered);
    {
        SqliteJournal made(file());
        ASSERT_TRUE(made.addReading(kept));
    }
    {
        // Version 1 is the current one without the appends (2), the outbox and its triggers and
        // the PC id (3).
        RawFile raw(file());
        for (const char* statement :
             {"DROP TABLE appends", "DROP TRIGGER outbox_reading_added",
              "DROP TRIGGER outbox_reading_updated", "DROP TRIGGER outbox_event_added",
              "DROP TABLE outbox", "DROP TABLE meta"}) {
            ASSERT_TRUE(raw.exec(QString::fromLatin1(statement))) << statement;
        }
        ASSERT_TRUE(raw.exec(QStringLiteral("PRAGMA user_version = 1")));
    }
    SqliteJournal journal(file());
    ASSERT_TRUE(journal.isOpen()) << journal.problem().toStdString();
    EXPECT_EQ(journal.readings(), QList<JournalReading>{kept});
    const std::optional<qint64> id = journal.beginAppend(QStringLiteral("/tmp/out.txt"), 12);
    ASSERT_TRUE(id) << journal.problem().toStdString();
    const QList<JournalAppend> pending{{*id, QStringLiteral("/tmp/out.txt"), 12}};
    EXPECT_EQ(journal.pendingAppends(), pending);
    EXPECT_EQ(RawFile(file()).value(QStringLiteral("PRAGMA user_version")).toInt(),
              SqliteJournal::schemaVersion);
    // Readings from before are queued for the shared journal like new ones.
    const QList<SqliteJournal::OutboxEntry> queued = journal.outbox();
    ASSERT_EQ(queued.size(), 1);
    EXPECT_EQ(queued[0].kind, SqliteJournal::OutboxEntry::Reading);
    EXPECT_EQ(queued[0].rowId, kept.id);
}

TEST_F(SqliteJournalFile, QueuesEachRowOnceForTheSharedJournalUntilSent)
{
    SqliteJournal journal(file());
    const QString pc = journal.pcId();
    EXPECT_EQ(pc.size(), 36) << pc.toStdString();
    EXPECT_NE(SqliteJournal(path(QStringLiteral("other.sqlite"))).pcId(), pc);

    JournalReading first =
        makeReading(QStringLiteral("T-01"), "2024-05-01T08:00:00.000Z", JournalResult::Pending);
    ASSERT_TRUE(journal.addReading(first));
    JournalEvent event{0,
                       utc("2024-05-01T08:00:01.000Z"),
                       QStringLiteral("clear-all"),
                       QStringLiteral("T-01"),
                       {},
                       QStringLiteral("ok")};
    ASSERT_TRUE(journal.addEvent(event));
    EXPECT_EQ(journal.event(event.id), event);
    first.result = QString::fromUtf16(JournalResult::Delivered);
    ASSERT_TRUE(journal.updateReading(first));

    // The update keeps the reading at its first place and counts the change.
    using Entry = SqliteJournal::OutboxEntry;
    const QList<Entry> queued = journal.outbox();
    ASSERT_EQ(queued.size(), 2);
    EXPECT_EQ(queued[0].kind, Entry::Reading);
    EXPECT_EQ(queued[0].rowId, first.id);
    EXPECT_EQ(queued[0].version, 2);
    EXPECT_EQ(queued[1].kind, Entry::Event);
    EXPECT_EQ(journal.outbox(1).size(), 1);

    // A change made while the rows were being sent keeps that row pending.
    first.cleared = true;
    ASSERT_TRUE(journal.updateReading(first));
    ASSERT_TRUE(journal.removeFromOutbox(queued));
    const QList<Entry> left = journal.outbox();
    ASSERT_EQ(left.size(), 1);
    EXPECT_EQ(left[0].rowId, first.id);
    EXPECT_EQ(left[0].version, 3);
    ASSERT_TRUE(journal.removeFromOutbox(left));
    EXPECT_TRUE(journal.outbox().isEmpty());

    // Rows removed before they were sent are not sent.
    JournalReading old =
        makeReading(QStringLiteral("T-02"), "2020-01-01T00:00:00.000Z", JournalResult::Pending);
    ASSERT_TRUE(journal.addReading(old));
    ASSERT_TRUE(journal.removeOlderThan(utc("2021-01-01T00:00:00.000Z")));
    EXPECT_TRUE(journal.outbox().isEmpty());
    EXPECT_EQ(SqliteJournal(file()).pcId(), pc); // kept in the file
}

TEST_F(SqliteJournalFile, RefusesWhatItCannotUseAndLeavesItUntouched)
{
    const struct
    {
        const char* name;
        std::function<void(const QString& file)> prepare;
        const char* reason;
    } cases[] = {
        {"newer journal",
         [](const QString& file) {
             {
                 const SqliteJournal made(file);
             }
             RawFile(file).exec(
                 QStringLiteral("PRAGMA user_version = %1").arg(SqliteJournal::schemaVersion + 1));
         },
         "newer version of Kolbrin (journal format 4"},
        {"not a database",
         [](const QString& file) {
             QFile f(file);
             f.open(QIODevice::WriteOnly);
             f.write(QByteArray("Date;Code;Qty\n").repeated(400));
         },
         "not a database"},
        {"foreign database",
         [](const QString& file) { RawFile(file).exec(QStringLiteral("CREATE TABLE events (x)")); },
         "not a Kolbrin journal"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = path(QString::fromLatin1(c.name));
        c.prepare(name);
        const std::string before = fileHash(name);
        ASSERT_FALSE(before.empty());
        {
            SqliteJournal journal(name);
            expectUnusable(journal, name, QString::fromLatin1(c.reason));
        }
        EXPECT_EQ(fileHash(name), before);
    }
}

TEST_F(SqliteJournalFile, FailsWithTheReasonWhereItCannotWrite)
{
    QFile blocker(path(QStringLiteral("data")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder must go
    SqliteJournal journal(file());
    expectUnusable(journal, file(), QStringLiteral("could not be made"));

    // Where an ordinary user may not write (as root, a child that has given up root; root may
    // write anywhere): a read-only folder without a journal, and another user's journal.
    const QString readOnly = path(QStringLiteral("ro"));
    const QString othersFolder = path(QStringLiteral("others"));
    ASSERT_TRUE(QDir().mkpath(readOnly));
    {
        const SqliteJournal others(othersFolder + QStringLiteral("/journal.sqlite"));
        ASSERT_TRUE(others.isOpen());
    }
    ASSERT_EQ(chmod(QFile::encodeName(path()).constData(), 0755), 0);
    ASSERT_EQ(chmod(QFile::encodeName(readOnly).constData(), 0555), 0);
    const bool root = getuid() == 0;
    for (const QString& folder : {readOnly, othersFolder}) {
        SCOPED_TRACE(folder.toStdString());
        if (!root && folder == othersFolder) {
            continue; // our own journal: only another user cannot write it
        }
        const auto refused = [&] {
            SqliteJournal denied(folder + QStringLiteral("/journal.sqlite"));
            JournalReading r;
            return !denied.addReading(r) && denied.problem().contains(folder) &&
                   denied.problem().contains(u"read-only");
        };
        EXPECT_TRUE(root ? holdsAsOrdinaryUser(refused) : refused());
    }
}

} // namespace
