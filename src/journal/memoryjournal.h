#pragma once

#include "journal.h"

/// A journal held in memory, for tests and for a program that has no journal file; it can be
/// told to refuse writes, as a full disk would.
class MemoryJournal : public Journal
{
public:
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

    /// While set, every write fails with this reason.
    QString refusal;

private:
    bool refused();

    QList<JournalReading> m_readings; ///< oldest first
    QList<JournalEvent> m_events;     ///< oldest first
    QList<JournalAppend> m_appends;   ///< pending ones, oldest first
    qint64 m_nextId = 1;
    QString m_problem;
};
