#pragma once

#include "journal.h"

#include <QSqlDatabase>

class QSqlQuery;

/// The journal in an SQLite file, kept across runs and shared by the program and a history run
/// of it at the same time. Every write is one statement or one transaction, made durable before
/// it returns, so a reading is on disk before the terminal is cleared.
///
/// When the file cannot be opened (the folder cannot be made, the file is no journal, it comes
/// from a newer program), the object still works: every write fails, every read is empty and
/// problem() says why. Reads that fail set problem() as well; reads that succeed leave it as it
/// was, so it still explains the last write that failed.
class SqliteJournal : public Journal
{
public:
    /// The schema this program writes; files of a newer one are refused, older ones upgraded.
    static constexpr int schemaVersion = 3;

    /// The journal of the user: kolbrin/journal.sqlite in the user's data folder.
    [[nodiscard]] static QString defaultFilePath();

    /// Opens the file, making its folder and the file when they are missing.
    explicit SqliteJournal(const QString& filePath = defaultFilePath());
    ~SqliteJournal() override;
    SqliteJournal(const SqliteJournal&) = delete;
    SqliteJournal& operator=(const SqliteJournal&) = delete;

    [[nodiscard]] QString filePath() const { return m_filePath; }
    /// False when opening failed; problem() then says why.
    [[nodiscard]] bool isOpen() const { return m_open; }

    bool addReading(JournalReading& reading) override;
    bool updateReading(const JournalReading& reading) override;
    bool addEvent(JournalEvent& event) override;
    QList<JournalReading> readings(int limit = 0) override;
    std::optional<JournalReading> reading(qint64 id) override;
    std::optional<JournalReading> lastDelivered(const QString& terminal) override;
    QList<JournalEvent> events(int limit = 0) override;
    bool removeOlderThan(const QDateTime& before) override;
    std::optional<qint64> beginAppend(const QString& path, qint64 length) override;
    bool endAppend(qint64 id) override;
    QList<JournalAppend> pendingAppends() override;
    [[nodiscard]] QString problem() const override { return m_problem; }

    /// The event with this id, if there is one.
    [[nodiscard]] std::optional<JournalEvent> event(qint64 id);

    /// This PC's id in a site's shared journal: random, made with the file and kept in it.
    /// Empty when it cannot be read.
    [[nodiscard]] QString pcId();

    /// A row added or changed and not yet copied to the shared journal. `version` grows with
    /// every change, so an entry sent before a later change stays pending.
    struct OutboxEntry
    {
        qint64 seq = 0; ///< the order rows are to be sent in
        enum Kind { Reading, Event } kind = Reading;
        qint64 rowId = 0;
        qint64 version = 0;

        friend bool operator==(const OutboxEntry&, const OutboxEntry&) = default;
    };
    /// The oldest `limit` entries still to be sent (all when 0), oldest first.
    [[nodiscard]] QList<OutboxEntry> outbox(int limit = 0);
    /// The entries were copied: removes those not changed since they were read.
    [[nodiscard]] bool removeFromOutbox(const QList<OutboxEntry>& sent);

private:
    bool open();
    /// Brings the file up to schemaVersion, in one transaction.
    bool upgrade();
    /// Runs a prepared query; on failure sets problem() from `what` and the database's reason.
    bool run(QSqlQuery& query, const QString& what);
    bool runStatement(const QString& sql, const QString& what);
    /// False with problem() set when the journal could not be opened.
    bool usable();
    bool fail(const QString& what, const QString& reason);
    [[nodiscard]] QString withAccessHint(const QString& reason) const;
    QList<JournalReading> selectReadings(const QString& condition, const QVariantList& values,
                                         int limit);

    QString m_filePath;
    QString m_connectionName; ///< unique per instance: Qt keeps connections by name
    QSqlDatabase m_database;
    bool m_open = false;
    QString m_openProblem; ///< why opening failed; every call repeats it
    QString m_problem;
};
