#include "recordretrieval.h"

#include "common/appstate.h"
#include "common/documentview.h"
#include "common/linebreaks.h"
#include "common/mainwindowcontrols.h"
#include "common/settings.h"
#include "common/templatelength.h"
#include "common/textcodec.h"
#include "common/userdialogs.h"
#include "config/configloader.h"
#include "i18n/uilanguage.h"
#include "link/commlibrary.h"
#include "readingprogress.h"

#include <QCoreApplication>
#include <optional>

RecordRetrieval::RecordRetrieval(CommLibrary& library, AppState& state, ConfigLoader& config,
                                 DocumentView& view, UserDialogs& dialogs,
                                 const UiLanguage& language, MainWindowControls& window)
    : m_library(library)
    , m_state(state)
    , m_config(config)
    , m_view(view)
    , m_dialogs(dialogs)
    , m_language(language)
    , m_window(window)
{
}

void RecordRetrieval::readTerminalData()
{
    // Templates edited since the last reading take effect now.
    m_config.loadSettings(m_state.settings);
    if (const QString problem = templateProblem(); !problem.isEmpty()) {
        m_state.DataReceived = false;
        m_dialogs.showWarning(problem);
        return;
    }

    std::optional<BusyPointer> busy(std::in_place, m_dialogs);
    m_view.setText(QString());
    m_read.clear();
    // A stop asked for just before (Exit while the presence check was in flight) holds.
    m_reading = true;
    m_records = 0;
    m_callRecords = 0;
    const QString panelBefore = m_window.statusText(1);
    m_libraryCounts = m_library.setReadProgress([this](CommLibrary::ReadProgress progress) {
        // A header call's one record is not an entry.
        if (m_entriesCall) {
            m_callRecords = progress.records;
            showProgress();
        }
    });

    bool lossy = false;
    bool lossyBody = false;
    const QByteArray headerTemplate =
        libraryTemplate(m_state.settings.HeaderTemplate, &lossy, m_headerMarks);
    const QByteArray bodyTemplate =
        libraryTemplate(m_state.settings.BodyTemplate, &lossyBody, m_bodyMarks);
    const bool withHeaders = isPresent(m_state.settings.HeaderTemplate.size());
    const bool withEntries = isPresent(m_state.settings.BodyTemplate.size());
    // Without a body template the entries are skipped: what is read is not all the terminal
    // holds, so it must not be cleared afterwards.
    m_state.LastReading = withEntries ? ReadingEnd::Complete : ReadingEnd::TemplateMissing;
    m_state.DocumentsRead = 0;
    m_state.ReadingStarted = QDateTime::currentDateTimeUtc();
    m_state.ReadingJournaled = false;
    m_state.ReadingCleared = false;

    showProgress();

    const auto readAndHandle = [&](bool isHeader, int index) {
        std::int32_t token = 0;
        m_callRecords = 0;
        m_entriesCall = !isHeader;
        const std::int32_t result =
            isHeader ? m_library.I_ReadHeader(m_state.TerminalId, headerTemplate, index, token)
                     : m_library.I_ReadEntries(m_state.TerminalId, bodyTemplate, index, token);
        if (result == CommLibrary::kCommError || result == CommLibrary::kNoTerminal) {
            busy.reset(); // no hourglass over the message
        }
        return handleResult(result, token, isHeader);
    };

    int index = 0;
    do {
        if (m_stopRequested) {
            break;
        }
        --index;
        if (withHeaders && readAndHandle(true, index) == Step::Stop) {
            break;
        }
        if (withEntries && readAndHandle(false, index) == Step::Stop) {
            break;
        }
    } while (withHeaders);
    showRead();
    m_read = QString();
    busy.reset();
    if (m_libraryCounts) {
        m_library.setReadProgress({});
    }
    // Stopped by the user: what was read is kept in the view but is not all there is.
    m_state.ReadingStopped = m_stopRequested;
    if (m_stopRequested) {
        m_state.LastReading = ReadingEnd::Interrupted;
    }
    m_stopRequested = false;
    m_reading = false;
    m_window.endReadingProgress();
    m_window.setStatusText(1, panelBefore);

    if (lossy || lossyBody) {
        m_dialogs.showWarning(QCoreApplication::translate(
            "RecordRetrieval",
            "The data format holds characters the terminal cannot take; they were sent as \"?\"."));
    }
}

QByteArray RecordRetrieval::libraryTemplate(const QString& userTemplate, bool* lossy,
                                            std::optional<MarkedTemplate>& marks) const
{
    const QByteArray bytes = TextCodec::toWindows1252(userTemplate, lossy);
    if (!m_state.settings.InsertKeys) {
        marks.reset();
        return bytes; // file mode: the template exactly as stored
    }
    // Marked as the library will read it, with what Windows-1252 lacks already made '?'.
    marks.emplace(TextCodec::fromWindows1252(bytes));
    return TextCodec::toWindows1252(marks->text());
}

QString RecordRetrieval::templateProblem() const
{
    // The body template is held with the CR LF the reading adds to the stored one.
    QString body = m_state.settings.BodyTemplate;
    if (body.endsWith(QLatin1String("\r\n"))) {
        body.chop(2);
    }
    QString problem = templateLengthProblem(SettingsKey::AsciiDataFormat, body);
    if (problem.isEmpty()) {
        problem =
            templateLengthProblem(SettingsKey::AsciiDataFormat2, m_state.settings.HeaderTemplate);
    }
    if (problem.isEmpty()) {
        return {};
    }
    return QCoreApplication::translate("RecordRetrieval",
                                       "%1, so the terminal was not read: it keeps all its data. "
                                       "Shorten the template in the configuration.")
        .arg(problem);
}

void RecordRetrieval::appendRead(const QString& piece)
{
    m_read += normalisedContinuation(piece, m_read.endsWith(QLatin1Char('\n')));
}

void RecordRetrieval::trimReadStart()
{
    // The window reports a no-break space as a space, so it is trimmed as one.
    qsizetype spaces = 0;
    while (spaces < m_read.size() &&
           (m_read[spaces] == QLatin1Char(' ') || m_read[spaces] == QChar::Nbsp)) {
        ++spaces;
    }
    if (spaces > 0) {
        m_read.remove(0, spaces);
    }
}

void RecordRetrieval::showRead()
{
    m_view.setText(m_read);
}

RecordRetrieval::Step RecordRetrieval::handleResult(int result, int token, bool isHeader)
{
    if (result == CommLibrary::kCommError || result == CommLibrary::kNoTerminal) {
        showRead(); // what was read stays in view under the message
    }
    if (result == CommLibrary::kCommError) {
        m_state.LastReading = ReadingEnd::Interrupted;
        m_dialogs.showError(m_language.MsgCommError());
        return Step::Stop;
    }
    if (result == CommLibrary::kNoTerminal) {
        m_state.LastReading = ReadingEnd::Interrupted;
        m_dialogs.showWarning(m_language.MsgPlaceTerminal());
        return Step::Stop;
    }
    if (result == CommLibrary::kNothingMore) {
        return Step::Stop;
    }
    if (result <= 0) {
        return Step::Go; // nothing this time
    }
    m_state.DataReceived = true;
    if (isHeader || !isPresent(m_state.settings.HeaderTemplate.size())) {
        ++m_state.DocumentsRead;
    }
    QString text = TextCodec::fromWindows1252(m_library.GetStringFromPtr(token, result));
    if (const std::optional<MarkedTemplate>& marks = isHeader ? m_headerMarks : m_bodyMarks) {
        text = marks->notation(text); // keyboard mode: the values typed as they are
    }
    if (isHeader) {
        // A header ends with LF CR; the view turns that into its one line break.
        appendRead(text + QStringLiteral("\n\r"));
        trimReadStart();
        // The header is a record and a line of the reading, as the journal counts them.
        ++m_records;
    } else {
        appendRead(text);
        m_records += m_libraryCounts ? m_callRecords
                                     : estimatedRecordCount(text, m_state.settings.BodyTemplate);
    }
    m_callRecords = 0;
    showProgress();
    return Step::Go;
}

void RecordRetrieval::showProgress()
{
    m_window.showReadingProgress(readingProgressText(
        m_language.languageIndex(), m_state.DocumentsRead, m_records + m_callRecords));
}
