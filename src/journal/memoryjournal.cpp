#include "memoryjournal.h"

#include <QCoreApplication>
#include <algorithm>

namespace {

template <typename Row>
QList<Row> newestFirst(const QList<Row>& rows, int limit)
{
    QList<Row> result(rows.crbegin(), rows.crend());
    if (limit > 0 && result.size() > limit) {
        result.resize(limit);
    }
    return result;
}

} // namespace

bool MemoryJournal::refused()
{
    m_problem = refusal;
    return !refusal.isEmpty();
}

bool MemoryJournal::addReading(JournalReading& reading)
{
    if (refused()) {
        return false;
    }
    reading.id = m_nextId++;
    m_readings.append(reading);
    return true;
}

bool MemoryJournal::updateReading(const JournalReading& reading)
{
    if (refused()) {
        return false;
    }
    for (JournalReading& stored : m_readings) {
        if (stored.id == reading.id) {
            stored = reading;
            return true;
        }
    }
    m_problem =
        QCoreApplication::translate("MemoryJournal", "there is no reading %1 in the journal")
            .arg(reading.id);
    return false;
}

bool MemoryJournal::addEvent(JournalEvent& event)
{
    if (refused()) {
        return false;
    }
    event.id = m_nextId++;
    m_events.append(event);
    return true;
}

QList<JournalReading> MemoryJournal::readings(int limit)
{
    return newestFirst(m_readings, limit);
}

std::optional<JournalReading> MemoryJournal::reading(qint64 id)
{
    const auto found = std::find_if(m_readings.cbegin(), m_readings.cend(),
                                    [id](const JournalReading& r) { return r.id == id; });
    return found == m_readings.cend() ? std::nullopt : std::optional(*found);
}

std::optional<JournalReading> MemoryJournal::lastDelivered(const QString& terminal)
{
    for (auto it = m_readings.crbegin(); it != m_readings.crend(); ++it) {
        if (it->terminal == terminal && it->result == QStringView(JournalResult::Delivered)) {
            return *it;
        }
    }
    return std::nullopt;
}

QList<JournalEvent> MemoryJournal::events(int limit)
{
    return newestFirst(m_events, limit);
}

bool MemoryJournal::removeOlderThan(const QDateTime& before)
{
    if (refused()) {
        return false;
    }
    m_readings.removeIf([&](const JournalReading& r) { return r.finished < before; });
    m_events.removeIf([&](const JournalEvent& e) { return e.at < before; });
    return true;
}

std::optional<qint64> MemoryJournal::beginAppend(const QString& path, qint64 length)
{
    if (refused()) {
        return std::nullopt;
    }
    m_appends.append({m_nextId, path, length});
    return m_nextId++;
}

bool MemoryJournal::endAppend(qint64 id)
{
    if (refused()) {
        return false;
    }
    m_appends.removeIf([id](const JournalAppend& a) { return a.id == id; });
    return true;
}

QList<JournalAppend> MemoryJournal::pendingAppends()
{
    return m_appends;
}
