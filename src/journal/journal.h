#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>
#include <utility>

/// One reading as the journal keeps it: written before anything is delivered or cleared, and
/// updated as delivery proceeds.
struct JournalReading
{
    qint64 id = 0;      ///< given by the journal when the reading is added
    QString terminal;   ///< the terminal's identity, without the padding spaces
    int port = 0;       ///< the port number the reading came from
    QDateTime started;  ///< UTC
    QDateTime finished; ///< UTC
    int documents = 0;
    int records = 0;  ///< lines of text read
    qint64 bytes = 0; ///< size of the text in UTF-8
    QString sha256;   ///< of the text in UTF-8, lower-case hex
    QString text;     ///< the reading as the window shows it
    QString mode;     ///< "overwrite", "append", "numbered", "keyboard" or "manual"
    QString target;   ///< the file written; empty when none was
    QString result;   ///< see JournalResult
    bool cleared = false;
    QString message; ///< what the user was told about this reading; empty when nothing

    friend bool operator==(const JournalReading&, const JournalReading&) = default;
};

/// The results a reading can have.
namespace JournalResult {
inline constexpr char16_t Pending[] = u"pending"; ///< journaled, delivery not finished yet
inline constexpr char16_t Delivered[] = u"delivered";
inline constexpr char16_t DeliveryFailed[] = u"delivery-failed";
inline constexpr char16_t Incomplete[] = u"incomplete";
inline constexpr char16_t SkippedDuplicate[] = u"skipped-duplicate";
inline constexpr char16_t ReadOnly[] = u"read-only"; ///< the "Read data" command: shown only
} // namespace JournalResult

/// What else changes data on a terminal: clearing, list sends and program uploads.
struct JournalEvent
{
    qint64 id = 0;    ///< given by the journal
    QDateTime at;     ///< UTC
    QString kind;     ///< "clear-all", "clear-list", "send-list" or "upload"
    QString terminal; ///< the terminal's identity, when known
    QString detail;   ///< what was done: the list number, the file sent, ...
    QString result;   ///< "ok", or the failure in words

    friend bool operator==(const JournalEvent&, const JournalEvent&) = default;

    /// An event that happens now; the journal gives it its id when it is added.
    [[nodiscard]] static JournalEvent now(QString kind, QString terminal, QString detail,
                                          QString result)
    {
        return {0,
                QDateTime::currentDateTimeUtc(),
                std::move(kind),
                std::move(terminal),
                std::move(detail),
                std::move(result)};
    }
};

/// An append to an output file that was begun and not yet marked done: the file had `length`
/// bytes before it. A crash during the append leaves it pending, so the half-written tail can
/// be cut off later.
struct JournalAppend
{
    qint64 id = 0; ///< given by the journal
    QString path;  ///< the file appended to, absolute
    qint64 length = 0;

    friend bool operator==(const JournalAppend&, const JournalAppend&) = default;
};

/// The record of every reading and of every change made to a terminal. Writes either last or
/// fail with a reason; nothing is kept half-written.
class Journal
{
public:
    virtual ~Journal() = default;

    /// Adds the reading and sets its id. False when it could not be made to last.
    [[nodiscard]] virtual bool addReading(JournalReading& reading) = 0;
    /// Replaces the stored reading with the same id. False when it could not be made to last.
    [[nodiscard]] virtual bool updateReading(const JournalReading& reading) = 0;
    /// Adds the event and sets its id. False when it could not be made to last.
    [[nodiscard]] virtual bool addEvent(JournalEvent& event) = 0;

    /// The readings, newest first; at most `limit` of them, all when `limit` is 0.
    [[nodiscard]] virtual QList<JournalReading> readings(int limit = 0) = 0;
    /// The reading with this id, if there is one.
    [[nodiscard]] virtual std::optional<JournalReading> reading(qint64 id) = 0;
    /// The newest reading of the terminal whose result is "delivered", if there is one.
    [[nodiscard]] virtual std::optional<JournalReading> lastDelivered(const QString& terminal) = 0;
    /// The events, newest first; at most `limit` of them, all when `limit` is 0.
    [[nodiscard]] virtual QList<JournalEvent> events(int limit = 0) = 0;

    /// Removes the readings that finished, and the events that happened, before `before`.
    /// False when that could not be done.
    [[nodiscard]] virtual bool removeOlderThan(const QDateTime& before) = 0;

    /// Records, durably, that `path` of `length` bytes is about to be appended to; gives the
    /// id to mark it done with, or nothing when it could not be made to last.
    [[nodiscard]] virtual std::optional<qint64> beginAppend(const QString& path, qint64 length) = 0;
    /// The append is finished (or undone): it is no longer pending. False when that could not
    /// be made to last.
    [[nodiscard]] virtual bool endAppend(qint64 id) = 0;
    /// The appends begun and not ended, oldest first.
    [[nodiscard]] virtual QList<JournalAppend> pendingAppends() = 0;

    /// Copies the rows written here to a shared journal, where there is one; false (with
    /// problem() set) when some are still to be copied because that failed. Never waits long.
    virtual bool forward() { return true; }

    /// Why the last call that failed did fail, in words for the user; empty after success.
    [[nodiscard]] virtual QString problem() const = 0;
};
