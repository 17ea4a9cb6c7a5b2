#include "listsender.h"

#include "common/appstate.h"
#include "common/fileoperations.h"
#include "common/linebreaks.h"
#include "common/mainwindowcontrols.h"
#include "common/textcodec.h"
#include "common/textutil.h"
#include "common/userdialogs.h"
#include "document/filedialogstate.h"
#include "document/richdocumentview.h"
#include "document/rtfreader.h"
#include "document/viewfile.h"
#include "i18n/uilanguage.h"
#include "journal/journal.h"
#include "link/commlibrary.h"
#include "listdata.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <limits>

namespace {

QString userVariablePrompt()
{
    return QCoreApplication::translate("ListSender", "User Variable ?");
}
QString positionPrompt()
{
    return QCoreApplication::translate("ListSender", "Position ?");
}
QString elementSizePrompt()
{
    return QCoreApplication::translate("ListSender", "Element Size ?");
}
QString descriptionSizePrompt()
{
    return QCoreApplication::translate("ListSender", "Description Size ?");
}
// Spelled in English as the terminal's users have always seen it.
QString sentText()
{
    return QCoreApplication::translate("ListSender", "Send sucessfull !");
}

// An entry shown back to the user, short enough for a message box.
QString shownEntry(const QString& entry)
{
    constexpr qsizetype kShown = 40;
    const QString shown = entry.size() > kShown ? entry.first(kShown) + QChar(0x2026) : entry;
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

using ViewFile::megabytes;

} // namespace

ListSender::ListSender(CommLibrary& library, AppState& state, UserDialogs& dialogs,
                       RichDocumentView& view, MainWindowControls& window,
                       FileDialogState& dialogState, const UiLanguage& language, Journal* journal)
    : m_library(library)
    , m_state(state)
    , m_dialogs(dialogs)
    , m_view(view)
    , m_window(window)
    , m_dialogState(dialogState)
    , m_language(language)
    , m_journal(journal)
{
}

QString ListSender::fileFilter()
{
    return QCoreApplication::translate("ListSender", "Text CSV (*.csv);; All Files (*.*)");
}

std::optional<std::int32_t> ListSender::wholeNumber(const QString& entry)
{
    const QString trimmed = entry.trimmed();
    QStringView digits = trimmed;
    if (digits.startsWith(u'+') || digits.startsWith(u'-')) {
        digits = digits.sliced(1);
    }
    // QString::toInt alone would also take "0x1A" style prefixes or other digit scripts.
    if (digits.isEmpty() || !std::all_of(digits.begin(), digits.end(),
                                         [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        return std::nullopt;
    }
    bool ok = false;
    const qlonglong value = trimmed.toLongLong(&ok, 10);
    if (!ok || value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

void ListSender::refuse(const QString& reason)
{
    m_dialogs.showWarning(
        QCoreApplication::translate("ListSender", "%1\n\nNothing was sent.").arg(reason));
}

std::optional<QString> ListSender::loadIntoView(const QString& path)
{
    const auto fail = [&](const QString& reason) {
        refuse(QCoreApplication::translate("ListSender", "The list file %1 could not be read: %2.")
                   .arg(quotedPath(path), reason));
        return std::nullopt;
    };
    QString reason;
    const std::optional<QByteArray> read = ViewFile::read(path, &reason);
    if (!read) {
        return fail(reason);
    }
    const QByteArray& bytes = *read;
    // A zero byte is never part of a text: this is a picture, a program or a UTF-16 file, and
    // its "quoted texts" would be whatever bytes happen to sit between two 0x22 bytes.
    if (const qsizetype zero = bytes.indexOf('\0'); zero >= 0) {
        return fail(QCoreApplication::translate(
                        "ListSender", "it is not a text file (a zero byte at byte %1); a list file "
                                      "is text in UTF-8 or Windows-1252")
                        .arg(zero + 1));
    }

    BusyPointer busy(m_dialogs);
    if (RtfReader::isRichText(bytes)) {
        // A rich-text file is shown with its formatting; its list is what the view reads as text.
        const RtfReader::Conversion document = RtfReader::toHtml(bytes);
        if (document.refused()) {
            return fail(document.refusal);
        }
        m_view.setRichText(document.html);
        return m_view.text();
    }
    // The view holds exactly this text; scanning it here rather than reading it back keeps
    // characters the view would present differently (such as no-break spaces) as they are.
    QString text = normaliseLineBreaks(TextCodec::decodeFileText(bytes));
    m_view.setText(text);
    return text;
}

std::optional<std::int32_t> ListSender::askNumber(const QString& prompt, bool mayBeNegative)
{
    // A cancelled prompt counts as an empty entry.
    const QString entry = m_dialogs.askText(prompt).value_or(QString());
    const std::optional<std::int32_t> number = wholeNumber(entry);
    if (entry.trimmed().isEmpty()) {
        refuse(QCoreApplication::translate("ListSender",
                                           "%1 No value was entered; a whole number is needed.")
                   .arg(prompt));
        return std::nullopt;
    }
    if (!number) {
        refuse(QCoreApplication::translate(
                   "ListSender", "%1 %2 is not a whole number between -2147483648 and 2147483647.")
                   .arg(prompt, shownEntry(entry)));
        return std::nullopt;
    }
    if (!mayBeNegative && *number < 0) {
        refuse(QCoreApplication::translate("ListSender",
                                           "%1 %2 is negative; a field width is 0 or more.")
                   .arg(prompt, shownEntry(entry)));
        return std::nullopt;
    }
    return number;
}

void ListSender::sendList()
{
    const std::optional<Request> request = askRequest();
    if (!request) {
        return;
    }
    const std::optional<ListData::Result> list = checkList(*request);
    if (!list) {
        return;
    }
    send(*request, *list);
}

std::optional<ListSender::Request> ListSender::askRequest()
{
    const std::optional<QString> chosen = m_dialogState.askOpenFile(m_dialogs, fileFilter());
    if (!chosen) {
        return std::nullopt;
    }
    Request request;
    request.path = *chosen;

    std::optional<QString> text = loadIntoView(request.path);
    if (!text) {
        return std::nullopt;
    }
    request.text = std::move(*text);
    // The view now shows this file, whatever happens to the list.
    m_window.setStatusText(1, QDir::toNativeSeparators(request.path));

    const QString userVariable = m_dialogs.askText(userVariablePrompt()).value_or(QString());
    request.userVariable = TextCodec::toWindows1252(userVariable, &request.userVariableLossy);
    if (request.userVariable.size() > kMaxUserVariable) {
        refuse(QCoreApplication::translate(
                   "ListSender", "%1 The text has %2 characters; the terminal takes at most %3.")
                   .arg(userVariablePrompt())
                   .arg(request.userVariable.size())
                   .arg(kMaxUserVariable));
        return std::nullopt;
    }
    // The library takes the user variable up to its first zero: the rest would be lost.
    if (request.userVariable.contains('\0')) {
        refuse(QCoreApplication::translate(
                   "ListSender", "%1 The text holds a zero character, which the terminal cannot "
                                 "take.")
                   .arg(userVariablePrompt()));
        return std::nullopt;
    }
    const std::optional<std::int32_t> position = askNumber(positionPrompt(), true);
    if (!position) {
        return std::nullopt;
    }
    const std::optional<std::int32_t> elementSize = askNumber(elementSizePrompt(), false);
    if (!elementSize) {
        return std::nullopt;
    }
    const std::optional<std::int32_t> descriptionSize = askNumber(descriptionSizePrompt(), false);
    if (!descriptionSize) {
        return std::nullopt;
    }
    request.position = *position;
    request.widths = {*elementSize, *descriptionSize};
    return request;
}

std::optional<ListData::Result> ListSender::checkList(const Request& request)
{
    // Counted before anything is built: wide fields times many quotes could ask for more
    // memory than the machine has.
    std::int64_t size = 0;
    ListData::Result list;
    {
        BusyPointer busy(m_dialogs);
        size = ListData::size(request.text, request.widths);
        if (size <= kMaxListBytes) {
            list = ListData::build(request.text, request.widths);
        }
    }
    if (size > kMaxListBytes) {
        refuse(QCoreApplication::translate(
                   "ListSender", "With element size %1 and description size %2 the list would take "
                                 "%3 MB; a list holds at most %4 MB.")
                   .arg(request.widths.element)
                   .arg(request.widths.description)
                   .arg(megabytes(size), megabytes(kMaxListBytes)));
        return std::nullopt;
    }

    // A list of length 0 would replace the terminal's list at this position with nothing: an
    // ordinary unquoted CSV file gives no field at all, and widths of 0 give no bytes.
    if (list.fields == 0) {
        refuse(QCoreApplication::translate(
                   "ListSender", "The file %1 holds no list: every element and every description "
                                 "must stand in double quotes, such as \"5601\",\"Milk\".")
                   .arg(quotedPath(request.path)));
        return std::nullopt;
    }
    if (list.bytes.isEmpty()) {
        refuse(QCoreApplication::translate(
                   "ListSender", "With element size %1 and description size %2 the list of %3 "
                                 "would hold nothing; a size of 1 or more is needed.")
                   .arg(request.widths.element)
                   .arg(request.widths.description)
                   .arg(quotedPath(request.path)));
        return std::nullopt;
    }

    if (list.unclosedQuote >= 0 &&
        !m_dialogs.askYesNo(QCoreApplication::translate(
                                "ListSender", "The quote opened on line %1 of %2 is never closed, "
                                              "so the text after it is not part of the list.\n\n"
                                              "Send the list without it?")
                                .arg(ListData::lineOf(request.text, list.unclosedQuote))
                                .arg(quotedPath(request.path)),
                            QString())) {
        return std::nullopt;
    }

    if (request.userVariableLossy || list.firstLossy >= 0) {
        const QString text =
            !request.userVariableLossy
                ? QCoreApplication::translate(
                      "ListSender", "Some characters in the list (the first on line %1) cannot be "
                                    "held by the terminal's character set (Windows-1252); they "
                                    "are sent as \"?\".")
            : list.firstLossy < 0
                ? QCoreApplication::translate(
                      "ListSender", "Some characters in the user variable cannot be held by the "
                                    "terminal's character set (Windows-1252); they are sent as "
                                    "\"?\".")
                : QCoreApplication::translate(
                      "ListSender", "Some characters in the user variable and in the list (the "
                                    "first on line %1) cannot be held by the terminal's character "
                                    "set (Windows-1252); they are sent as \"?\".");
        m_dialogs.showWarning(list.firstLossy >= 0
                                  ? text.arg(ListData::lineOf(request.text, list.firstLossy))
                                  : text);
    }
    return list;
}

void ListSender::send(const Request& request, const ListData::Result& list)
{
    std::int32_t result = 0;
    {
        BusyPointer busy(m_dialogs);
        result = m_library.I_SendList(m_state.TerminalId, request.userVariable, list.bytes,
                                      request.position);
    }
    if (m_journal != nullptr) {
        JournalEvent event = JournalEvent::now(
            QStringLiteral("send-list"), m_state.terminalName(),
            QStringLiteral("%1 to position %2 (%3 bytes)")
                .arg(QDir::toNativeSeparators(request.path))
                .arg(request.position)
                .arg(list.bytes.size()),
            result == CommLibrary::kCommError    ? QStringLiteral("communication error")
            : result == CommLibrary::kNoTerminal ? QStringLiteral("no terminal")
                                                 : QStringLiteral("ok"));
        // The list went (or not) either way; a journal that cannot be written has been reported
        // with the readings.
        static_cast<void>(m_journal->addEvent(event));
    }
    if (result == CommLibrary::kCommError) {
        m_dialogs.showError(m_language.MsgCommError());
    } else if (result == CommLibrary::kNoTerminal) {
        m_dialogs.showWarning(m_language.MsgPlaceTerminal());
    } else {
        m_dialogs.showMessage(sentText());
    }
}
