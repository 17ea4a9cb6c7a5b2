#include "readinghistory.h"

#include "common/documentview.h"
#include "i18n/uilanguage.h"
#include "output/readingdelivery.h"

#include <array>

namespace {

/// The window's texts, which the shared string table does not hold: English, Portuguese, Spanish.
struct HistoryTexts
{
    const char16_t* title;
    std::array<const char16_t*, 7> headers;
    const char16_t* deliverAgain;
    const char16_t* refresh;
    const char16_t* close;
    const char16_t* yes;
    const char16_t* no;
    const char16_t* notReadable; ///< %1: the journal's problem
};

constexpr std::array<HistoryTexts, 3> kTexts = {{
    {u"Reading history",
     {u"Time", u"Terminal", u"Documents", u"Records", u"Target", u"Result", u"Cleared"},
     u"Deliver again",
     u"Refresh",
     u"Close",
     u"Yes",
     u"No",
     u"The journal could not be read: %1"},
    {u"Histórico de leituras",
     {u"Hora", u"Terminal", u"Documentos", u"Registros", u"Destino", u"Resultado", u"Apagado"},
     u"Entregar novamente",
     u"Atualizar",
     u"Fechar",
     u"Sim",
     u"Não",
     u"O histórico não pôde ser lido: %1"},
    {u"Historial de lecturas",
     {u"Hora", u"Terminal", u"Documentos", u"Registros", u"Destino", u"Resultado", u"Borrado"},
     u"Entregar de nuevo",
     u"Actualizar",
     u"Cerrar",
     u"Sí",
     u"No",
     u"No se pudo leer el historial: %1"},
}};

const HistoryTexts& textsFor(int languageIndex)
{
    return kTexts.at(languageIndex >= 0 && languageIndex < static_cast<int>(kTexts.size())
                         ? static_cast<std::size_t>(languageIndex)
                         : 0);
}

QString text(const char16_t* text)
{
    return QString::fromUtf16(text);
}

} // namespace

ReadingHistory::ReadingHistory(Journal& journal, ReadingDelivery& delivery, DocumentView& view,
                               const UiLanguage& language)
    : m_journal(journal)
    , m_delivery(delivery)
    , m_view(view)
    , m_language(language)
{
}

QString ReadingHistory::menuCaption(int languageIndex)
{
    return text(textsFor(languageIndex).title);
}

ReadingHistoryCaptions ReadingHistory::captions() const
{
    const HistoryTexts& texts = textsFor(m_language.languageIndex());
    ReadingHistoryCaptions captions;
    captions.title = text(texts.title);
    for (const char16_t* header : texts.headers) {
        captions.headers.append(text(header));
    }
    captions.deliverAgain = text(texts.deliverAgain);
    captions.refresh = text(texts.refresh);
    captions.close = text(texts.close);
    return captions;
}

ReadingHistoryListing ReadingHistory::refresh()
{
    const HistoryTexts& texts = textsFor(m_language.languageIndex());
    ReadingHistoryListing listing;
    m_readings = m_journal.readings();
    // An empty list is also what a journal gives that cannot be read; only its problem tells.
    if (m_readings.isEmpty() && !m_journal.problem().isEmpty()) {
        listing.problem = text(texts.notReadable).arg(m_journal.problem());
        return listing;
    }
    for (const JournalReading& reading : m_readings) {
        ReadingHistoryRow row;
        row.id = reading.id;
        row.cells = {
            reading.finished.isValid()
                ? reading.finished.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                : QString(),
            reading.terminal,
            QString::number(reading.documents),
            QString::number(reading.records),
            reading.target,
            reading.result,
            text(reading.cleared ? texts.yes : texts.no),
        };
        listing.rows.append(row);
    }
    return listing;
}

const JournalReading* ReadingHistory::readingAt(int row) const
{
    return row >= 0 && row < m_readings.size() ? &m_readings.at(row) : nullptr;
}

bool ReadingHistory::choose(int row)
{
    const JournalReading* reading = readingAt(row);
    if (reading == nullptr) {
        return false;
    }
    m_view.setText(reading->text);
    return true;
}

ReadingHistoryListing ReadingHistory::deliverAgain(int row)
{
    if (const JournalReading* reading = readingAt(row)) {
        // A copy: a message shown during the delivery lets events run, and a refresh then would
        // replace the listing the reading belongs to.
        static_cast<void>(m_delivery.deliverAgain(JournalReading(*reading)));
    }
    return refresh();
}

bool ReadingHistory::typesKeys() const
{
    return m_delivery.deliveryMode() == QLatin1String("keyboard");
}
