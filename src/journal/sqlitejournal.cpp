#include "sqlitejournal.h"

#include "common/fileoperations.h"
#include "journalrows.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <array>
#include <atomic>

using namespace JournalRows;

namespace {

/// How long a write waits for another process (a history run) that holds the file.
constexpr int kBusyTimeoutMs = 5000;

/// The statements that bring a file from one schema version to the next: entry n makes
/// version n + 1. A new version appends an entry; earlier entries never change, since files
/// out there were made by them.
const std::array<QStringList, SqliteJournal::schemaVersion> kUpgrades = {
    QStringList{
        QStringLiteral("CREATE TABLE readings ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT,"
                       "terminal TEXT NOT NULL,"
                       "port INTEGER NOT NULL,"
                       "started TEXT NOT NULL,"
                       "finished TEXT NOT NULL,"
                       "documents INTEGER NOT NULL,"
                       "records INTEGER NOT NULL,"
                       "bytes INTEGER NOT NULL,"
                       "sha256 TEXT NOT NULL,"
                       "text TEXT NOT NULL,"
                       "mode TEXT NOT NULL,"
                       "target TEXT NOT NULL,"
                       "result TEXT NOT NULL,"
                       "cleared INTEGER NOT NULL CHECK (cleared IN (0, 1)),"
                       "message TEXT NOT NULL)"),
        QStringLiteral("CREATE TABLE events ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT,"
                       "at TEXT NOT NULL,"
                       "kind TEXT NOT NULL,"
                       "terminal TEXT NOT NULL,"
                       "detail TEXT NOT NULL,"
                       "result TEXT NOT NULL)"),
        // Newest first is the order of the id, which is the table's own key; these serve
        // lastDelivered() (the id comes with every index entry, so the newest is found there)
        // and removeOlderThan().
        QStringLiteral("CREATE INDEX readings_by_terminal_result ON readings (terminal, result)"),
        QStringLiteral("CREATE INDEX readings_by_finished ON readings (finished)"),
        QStringLiteral("CREATE INDEX events_by_at ON events (at)"),
    },
    // Version 2: appends to output files that are under way; a row lives from just before the
    // append until it is flushed, so the table stays small.
    QStringList{
        QStringLiteral("CREATE TABLE appends ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT,"
                       "path TEXT NOT NULL,"
                       "length INTEGER NOT NULL CHECK (length >= 0))"),
    },
    // Version 3: what is still to be copied to a site's shared journal. The triggers fill the
    // outbox in the same transaction as the write itself, so no row can be missed; a row is in
    // it at most once, at the place of its first unsent change, and its version counts the
    // changes, so a change made while the row is being sent keeps it pending. The PC's random
    // id keeps the rows of several PCs apart on the server. Rows from before are queued too.
    QStringList{
        QStringLiteral("CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT NOT NULL)"),
        QStringLiteral("INSERT INTO meta (key, value) VALUES ('pc-id', "
                       "lower(hex(randomblob(4))) || '-' || lower(hex(randomblob(2))) || '-' || "
                       "lower(hex(randomblob(2))) || '-' || lower(hex(randomblob(2))) || '-' || "
                       "lower(hex(randomblob(6))))"),
        QStringLiteral("CREATE TABLE outbox ("
                       "seq INTEGER PRIMARY KEY AUTOINCREMENT,"
                       "kind TEXT NOT NULL CHECK (kind IN ('reading', 'event')),"
                       "row_id INTEGER NOT NULL,"
                       "version INTEGER NOT NULL DEFAULT 1,"
                       "UNIQUE (kind, row_id))"),
        QStringLiteral("INSERT INTO outbox (kind, row_id) SELECT kind, id FROM ("
                       "SELECT 'reading' AS kind, id, finished AS at FROM readings UNION ALL "
                       "SELECT 'event', id, at FROM events) ORDER BY at, kind, id"),
        QStringLiteral("CREATE TRIGGER outbox_reading_added AFTER INSERT ON readings BEGIN "
                       "INSERT INTO outbox (kind, row_id) VALUES ('reading', NEW.id) "
                       "ON CONFLICT (kind, row_id) DO UPDATE SET version = version + 1; END"),
        QStringLiteral("CREATE TRIGGER outbox_reading_updated AFTER UPDATE ON readings BEGIN "
                       "INSERT INTO outbox (kind, row_id) VALUES ('reading', NEW.id) "
                       "ON CONFLICT (kind, row_id) DO UPDATE SET version = version + 1; END"),
        QStringLiteral("CREATE TRIGGER outbox_event_added AFTER INSERT ON events BEGIN "
                       "INSERT INTO outbox (kind, row_id) VALUES ('event', NEW.id) "
                       "ON CONFLICT (kind, row_id) DO UPDATE SET version = version + 1; END"),
    },
};

QString reasonOf(const QSqlError& error)
{
    const QString reason = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return reason.isEmpty() ? QCoreApplication::translate("SqliteJournal", "unknown error")
                            : reason;
}

/// SQLite reads a negative LIMIT as no limit.
int sqlLimit(int limit)
{
    return limit > 0 ? limit : -1;
}

} // namespace

QString SqliteJournal::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/kolbrin/journal.sqlite");
}

SqliteJournal::SqliteJournal(const QString& filePath)
    : m_filePath(filePath)
{
    static std::atomic<quint64> instances{0};
    m_connectionName = QStringLiteral("kolbrin-journal-%1").arg(++instances);
    m_open = open();
    if (!m_open) {
        m_openProblem = m_problem;
        m_database.close();
    }
}

SqliteJournal::~SqliteJournal()
{
    // Qt removes a connection cleanly only when no QSqlDatabase refers to it any more.
    m_database.close();
    m_database = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool SqliteJournal::fail(const QString& what, const QString& reason)
{
    // `what` is a whole sentence whose two last free places take the file and the reason.
    m_problem = what.arg(QDir::toNativeSeparators(m_filePath), reason);
    return false;
}

/// SQLite says only "unable to open database file" when the user may not write where the
/// journal is; the user is told which of the two is read-only.
QString SqliteJournal::withAccessHint(const QString& reason) const
{
    const QFileInfo file(m_filePath);
    if (file.exists() && !file.isWritable()) {
        return QCoreApplication::translate("SqliteJournal",
                                           "%1 (the file is read-only to this user)")
            .arg(reason);
    }
    const QFileInfo folder(file.absolutePath());
    if (!folder.isWritable()) {
        return QCoreApplication::translate("SqliteJournal",
                                           "%1 (the folder %2 is read-only to this user)")
            .arg(reason, QDir::toNativeSeparators(folder.filePath()));
    }
    return reason;
}

bool SqliteJournal::open()
{
    const QString cannotOpen =
        QCoreApplication::translate("SqliteJournal", "The journal %1 could not be opened: %2.");
    const QFileInfo file(m_filePath);
    if (m_filePath.isEmpty()) {
        return fail(cannotOpen, QCoreApplication::translate("SqliteJournal", "no file is named"));
    }
    if (!QDir().mkpath(file.absolutePath())) {
        return fail(cannotOpen,
                    QCoreApplication::translate("SqliteJournal", "the folder %1 could not be made")
                        .arg(QDir::toNativeSeparators(file.absolutePath())));
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
        return fail(cannotOpen, QCoreApplication::translate(
                                    "SqliteJournal",
                                    "Qt's SQLite driver is not installed (libqt6sql6-sqlite)"));
    }
    m_database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_database.setDatabaseName(m_filePath);
    m_database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!m_database.open()) {
        return fail(cannotOpen, withAccessHint(reasonOf(m_database.lastError())));
    }

    // The file is looked at before anything is written: a journal of a newer program, or a
    // database of another program (no version, but tables), is left exactly as it is. A file
    // that is not a database fails here too. One statement sees one state of the file, even
    // while another process is making the journal.
    QSqlQuery state(m_database);
    if (!state.exec(QStringLiteral("SELECT (SELECT user_version FROM pragma_user_version), "
                                   "(SELECT count(*) FROM sqlite_master)")) ||
        !state.next()) {
        return fail(cannotOpen, withAccessHint(reasonOf(state.lastError())));
    }
    const int fileVersion = state.value(0).toInt();
    const int objects = state.value(1).toInt();
    state.finish();
    const QString untouched =
        QCoreApplication::translate("SqliteJournal", "The journal %1 was left untouched: %2.");
    if (fileVersion > schemaVersion) {
        return fail(untouched, QCoreApplication::translate(
                                   "SqliteJournal",
                                   "it was written by a newer version of Kolbrin (journal format "
                                   "%1; this version knows up to %2)")
                                   .arg(fileVersion)
                                   .arg(schemaVersion));
    }
    if (fileVersion == 0 && objects > 0) {
        return fail(
            untouched,
            QCoreApplication::translate(
                "SqliteJournal", "it is not a Kolbrin journal but a database of another program"));
    }

    // Write-ahead logging lets a history run read while the program writes; FULL makes every
    // commit durable before it returns.
    QSqlQuery mode(m_database);
    if (!mode.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !mode.next()) {
        return fail(cannotOpen, withAccessHint(reasonOf(mode.lastError())));
    }
    const QString journalMode = mode.value(0).toString().toLower();
    mode.finish();
    if (journalMode != u"wal") {
        return fail(cannotOpen, QCoreApplication::translate(
                                    "SqliteJournal",
                                    "write-ahead logging could not be turned on (the file stays in "
                                    "mode \"%1\"; is it or its folder read-only?)")
                                    .arg(journalMode));
    }
    if (!runStatement(QStringLiteral("PRAGMA synchronous=FULL"), cannotOpen)) {
        return false;
    }
    if (fileVersion < schemaVersion && !upgrade()) {
        return false;
    }
    m_problem.clear();
    return true;
}

bool SqliteJournal::upgrade()
{
    const QString cannotUpgrade = QCoreApplication::translate(
        "SqliteJournal", "The journal %1 could not be brought up to date: %2.");
    // IMMEDIATE takes the write lock now, so a second process that opens the same new file at
    // the same moment waits and then finds the work done.
    if (!runStatement(QStringLiteral("BEGIN IMMEDIATE"), cannotUpgrade)) {
        return false;
    }
    const auto rollBack = [this] {
        QSqlQuery(m_database).exec(QStringLiteral("ROLLBACK"));
        return false;
    };
    QSqlQuery version(m_database);
    if (!version.exec(QStringLiteral("PRAGMA user_version")) || !version.next()) {
        fail(cannotUpgrade, reasonOf(version.lastError()));
        return rollBack();
    }
    int current = version.value(0).toInt();
    version.finish();
    if (current > schemaVersion) {
        fail(QCoreApplication::translate("SqliteJournal", "The journal %1 was left untouched: %2."),
             QCoreApplication::translate("SqliteJournal",
                                         "it was written by a newer version of Kolbrin"));
        return rollBack();
    }
    for (; current < schemaVersion; ++current) {
        for (const QString& statement : kUpgrades.at(std::size_t(current))) {
            if (!runStatement(statement, cannotUpgrade)) {
                return rollBack();
            }
        }
    }
    if (!runStatement(QStringLiteral("PRAGMA user_version = %1").arg(schemaVersion),
                      cannotUpgrade) ||
        !runStatement(QStringLiteral("COMMIT"), cannotUpgrade)) {
        return rollBack();
    }
    return true;
}

bool SqliteJournal::run(QSqlQuery& query, const QString& what)
{
    if (!query.exec()) {
        return fail(what, reasonOf(query.lastError()));
    }
    return true;
}

bool SqliteJournal::runStatement(const QString& sql, const QString& what)
{
    QSqlQuery query(m_database);
    if (!query.exec(sql)) {
        return fail(what, reasonOf(query.lastError()));
    }
    return true;
}

bool SqliteJournal::usable()
{
    if (!m_open) {
        m_problem = m_openProblem;
    }
    return m_open;
}

bool SqliteJournal::addReading(JournalReading& reading)
{
    if (!usable()) {
        return false;
    }
    QSqlQuery query(m_database);
    query.prepare(QStringLiteral("INSERT INTO readings (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                                 "?, ?, ?, ?)")
                      .arg(readingColumns()));
    bindReading(query, reading);
    if (!run(query, QCoreApplication::translate(
                        "SqliteJournal", "The journal %1 could not take the reading: %2."))) {
        return false;
    }
    reading.id = query.lastInsertId().toLongLong();
    m_problem.clear();
    return true;
}

bool SqliteJournal::updateReading(const JournalReading& reading)
{
    if (!usable()) {
        return false;
    }
    QSqlQuery query(m_database);
    query.prepare(QStringLiteral("UPDATE readings SET terminal = ?, port = ?, started = ?, "
                                 "finished = ?, documents = ?, records = ?, bytes = ?, sha256 = ?, "
                                 "text = ?, mode = ?, target = ?, result = ?, cleared = ?, "
                                 "message = ? WHERE id = ?"));
    bindReading(query, reading);
    query.addBindValue(qlonglong(reading.id));
    if (!run(query, QCoreApplication::translate("SqliteJournal",
                                                "The journal %2 could not update reading %1: %3.")
                        .arg(reading.id))) {
        return false;
    }
    if (query.numRowsAffected() != 1) {
        m_problem =
            QCoreApplication::translate("SqliteJournal", "there is no reading %1 in the journal")
                .arg(reading.id);
        return false;
    }
    m_problem.clear();
    return true;
}

bool SqliteJournal::addEvent(JournalEvent& event)
{
    if (!usable()) {
        return false;
    }
    QSqlQuery query(m_database);
    query.prepare(QStringLiteral(
        "INSERT INTO events (at, kind, terminal, detail, result) VALUES (?, ?, ?, ?, ?)"));
    bindEvent(query, event);
    if (!run(query, QCoreApplication::translate("SqliteJournal",
                                                "The journal %1 could not take the event: %2."))) {
        return false;
    }
    event.id = query.lastInsertId().toLongLong();
    m_problem.clear();
    return true;
}

QList<JournalReading> SqliteJournal::selectReadings(const QString& condition,
                                                    const QVariantList& values, int limit)
{
    QList<JournalReading> result;
    if (!usable()) {
        return result;
    }
    QSqlQuery query(m_database);
    // Only the next row is wanted each time; the default caching of every row is not needed.
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT id, %1 FROM readings %2 ORDER BY id DESC LIMIT ?")
                      .arg(readingColumns(), condition));
    for (const QVariant& value : values) {
        query.addBindValue(value);
    }
    query.addBindValue(sqlLimit(limit));
    if (!run(query, QCoreApplication::translate("SqliteJournal",
                                                "The journal %1 could not be read: %2."))) {
        return result;
    }
    while (query.next()) {
        result.append(readingFrom(query));
    }
    if (query.lastError().isValid()) {
        fail(QCoreApplication::translate("SqliteJournal", "The journal %1 could not be read: %2."),
             reasonOf(query.lastError()));
        return {};
    }
    return result;
}

QList<JournalReading> SqliteJournal::readings(int limit)
{
    return selectReadings({}, {}, limit);
}

std::optional<JournalReading> SqliteJournal::reading(qint64 id)
{
    const QList<JournalReading> found =
        selectReadings(QStringLiteral("WHERE id = ?"), {qlonglong(id)}, 1);
    return found.isEmpty() ? std::nullopt : std::optional(found.first());
}

std::optional<JournalReading> SqliteJournal::lastDelivered(const QString& terminal)
{
    const QList<JournalReading> found =
        selectReadings(QStringLiteral("WHERE terminal = ? AND result = ?"),
                       {textValue(terminal), QString::fromUtf16(JournalResult::Delivered)}, 1);
    return found.isEmpty() ? std::nullopt : std::optional(found.first());
}

QList<JournalEvent> SqliteJournal::events(int limit)
{
    QList<JournalEvent> result;
    if (!usable()) {
        return result;
    }
    QSqlQuery query(m_database);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral(
        "SELECT id, at, kind, terminal, detail, result FROM events ORDER BY id DESC LIMIT ?"));
    query.addBindValue(sqlLimit(limit));
    if (!run(query, QCoreApplication::translate("SqliteJournal",
                                                "The journal %1 could not be read: %2."))) {
        return result;
    }
    while (query.next()) {
        result.append(eventFrom(query));
    }
    if (query.lastError().isValid()) {
        fail(QCoreApplication::translate("SqliteJournal", "The journal %1 could not be read: %2."),
             reasonOf(query.lastError()));
        return {};
    }
    return result;
}

bool SqliteJournal::removeOlderThan(const QDateTime& before)
{
    if (!usable()) {
        return false;
    }
    const QString what = QCoreApplication::translate(
        "SqliteJournal", "The journal %1 could not remove old entries: %2.");
    if (!runStatement(QStringLiteral("BEGIN IMMEDIATE"), what)) {
        return false;
    }
    const QString limit = timeText(before);
    QSqlQuery readings(m_database);
    readings.prepare(QStringLiteral("DELETE FROM readings WHERE finished < ?"));
    readings.addBindValue(limit);
    QSqlQuery events(m_database);
    events.prepare(QStringLiteral("DELETE FROM events WHERE at < ?"));
    events.addBindValue(limit);
    // Rows removed before they were sent are not sent any more.
    if (!run(readings, what) || !run(events, what) ||
        !runStatement(QStringLiteral("DELETE FROM outbox WHERE (kind = 'reading' AND row_id NOT IN "
                                     "(SELECT id FROM readings)) OR (kind = 'event' AND row_id "
                                     "NOT IN (SELECT id FROM events))"),
                      what) ||
        !runStatement(QStringLiteral("COMMIT"), what)) {
        QSqlQuery(m_database).exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    m_problem.clear();
    return true;
}

std::optional<qint64> SqliteJournal::beginAppend(const QString& path, qint64 length)
{
    if (!usable()) {
        return std::nullopt;
    }
    QSqlQuery query(m_database);
    query.prepare(QStringLiteral("INSERT INTO appends (path, length) VALUES (?, ?)"));
    query.addBindValue(textValue(path));
    query.addBindValue(qlonglong(length));
    if (!run(query, QCoreApplication::translate(
                        "SqliteJournal", "The journal %2 could not record the append to %1: %3.")
                        .arg(quotedPath(path)))) {
        return std::nullopt;
    }
    m_problem.clear();
    return query.lastInsertId().toLongLong();
}

bool SqliteJournal::endAppend(qint64 id)
{
    if (!usable()) {
        return false;
    }
    QSqlQuery query(m_database);
    query.prepare(QStringLiteral("DELETE FROM appends WHERE id = ?"));
    query.addBindValue(qlonglong(id));
    if (!run(query, QCoreApplication::translate("SqliteJournal",
                                                "The journal %2 could not mark append %1 done: %3.")
                        .arg(id))) {
        return false;
    }
    m_problem.clear();
    return true;
}

QList<JournalAppend> SqliteJournal::pendingAppends()
{
    QList<JournalAppend> result;
    if (!usable()) {
        return result;
    }
    QSqlQuery query(m_database);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT id, path, length FROM appends ORDER BY id"))) {
        fail(QCoreApplication::translate("SqliteJournal", "The journal %1 could not be read: %2."),
             reasonOf(query.lastError()));
        return result;
    }
    while (query.next()) {
        result.append(
            {query.value(0).toLongLong(), query.value(1).toString(), query.value(2).toLongLong()});
    }
    if (query.lastError().isValid()) {
        fail(QCoreApplication::translate("SqliteJournal", "The journal %1 could not be read: %2."),
             reasonOf(query.lastError()));
        return {};
    }
    return result;
}

std::optional<JournalEvent> SqliteJournal::event(qint64 id)
{
    if (!usable()) {
        return std::nullopt;
    }
    QSqlQuery query(m_database);
    query.prepare(
        QStringLiteral("SELECT id, at, kind, terminal, detail, result FROM events WHERE id = ?"));
    query.addBindValue(qlonglong(id));
    if (!run(query, QCoreApplication::translate("SqliteJournal",
                                                "The journal %1 could not be read: %2."))) {
        return std::nullopt;
    }
    if (!query.next()) {
        return std::nullopt;
    }
    return eventFrom(query);
}

QString SqliteJournal::pcId()
{
    if (!usable()) {
        return {};
    }
    QSqlQuery query(m_database);
    if (!query.exec(QStringLiteral("SELECT value FROM meta WHERE key = 'pc-id'")) ||
        !query.next()) {
        fail(QCoreApplication::translate("SqliteJournal", "The journal %1 could not be read: %2."),
             reasonOf(query.lastError()));
        return {};
    }
    return query.value(0).toString();
}

QList<SqliteJournal::OutboxEntry> SqliteJournal::outbox(int limit)
{
    QList<OutboxEntry> result;
    if (!usable()) {
        return result;
    }
    QSqlQuery query(m_database);
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT seq, kind, row_id, version FROM outbox ORDER BY seq LIMIT ?"));
    query.addBindValue(sqlLimit(limit));
    if (!run(query, QCoreApplication::translate("SqliteJournal",
                                                "The journal %1 could not be read: %2."))) {
        return result;
    }
    while (query.next()) {
        result.append(
            {query.value(0).toLongLong(),
             query.value(1).toString() == u"event" ? OutboxEntry::Event : OutboxEntry::Reading,
             query.value(2).toLongLong(), query.value(3).toLongLong()});
    }
    return result;
}

bool SqliteJournal::removeFromOutbox(const QList<OutboxEntry>& sent)
{
    if (!usable()) {
        return false;
    }
    const QString what = QCoreApplication::translate(
        "SqliteJournal", "The journal %1 could not note what was sent: %2.");
    if (!runStatement(QStringLiteral("BEGIN IMMEDIATE"), what)) {
        return false;
    }
    for (const OutboxEntry& entry : sent) {
        QSqlQuery query(m_database);
        query.prepare(QStringLiteral("DELETE FROM outbox WHERE seq = ? AND version = ?"));
        query.addBindValue(qlonglong(entry.seq));
        query.addBindValue(qlonglong(entry.version));
        if (!run(query, what)) {
            QSqlQuery(m_database).exec(QStringLiteral("ROLLBACK"));
            return false;
        }
    }
    if (!runStatement(QStringLiteral("COMMIT"), what)) {
        QSqlQuery(m_database).exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    m_problem.clear();
    return true;
}
