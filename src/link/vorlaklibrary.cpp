#include "vorlaklibrary.h"

#include "common/textcodec.h"
#include "common/userdialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <limits>
#include <vorlak.h>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

// Typed pointers to the exported functions, declared after the contract header so that a
// change of a signature there shows up here at compile time.
struct VorlakLibrary::Functions
{
    decltype(&::I_OpenCom) openCom = nullptr;
    decltype(&::I_OpenComWithoutOpen) openComWithoutOpen = nullptr;
    decltype(&::I_CloseCom) closeCom = nullptr;
    decltype(&::I_CheckTerminal) checkTerminal = nullptr;
    decltype(&::I_ReadHeader) readHeader = nullptr;
    decltype(&::I_ReadEntries) readEntries = nullptr;
    decltype(&::GetStringFromPtr) getStringFromPtr = nullptr;
    decltype(&::I_ReadEntriesConfig) readEntriesConfig = nullptr;
    decltype(&::I_ReadHeadersConfig) readHeadersConfig = nullptr;
    decltype(&::I_SendList) sendList = nullptr;
    decltype(&::I_ClearEntries) clearEntries = nullptr;
    decltype(&::I_ClearAllEntries) clearAllEntries = nullptr;
    decltype(&::I_KillProgram) killProgram = nullptr;
    decltype(&::IO_Open) ioOpen = nullptr;
    decltype(&::IO_Close) ioClose = nullptr;
    decltype(&::IO_Write) ioWrite = nullptr;
    decltype(&::IO_Read) ioRead = nullptr;
    decltype(&::IO_NumCharsInQue) ioNumCharsInQue = nullptr;
    decltype(&::IO_dtr_control_enable) dtrEnable = nullptr;
    decltype(&::IO_dtr_control_disable) dtrDisable = nullptr;
    decltype(&::VORLAK_Sleep) sleep = nullptr;
    // Our own extension; the maker's library does not have it, so its absence is no fault.
    decltype(&::VORLAK_LastOpenError) lastOpenError = nullptr;
    decltype(&::VORLAK_SetProgressCallback) setProgressCallback = nullptr;
    decltype(&::VORLAK_PortLost) portLost = nullptr;
};

namespace {

constexpr int kOpenErrorCapacity = 512;

bool fitsInt32(qsizetype size)
{
    return size <= std::numeric_limits<std::int32_t>::max();
}

// What the library expects of a buffer that receives text: `capacity` spaces, `text` at the
// start, a terminating zero after the capacity (QByteArray always keeps one past its size).
QByteArray textBuffer(const QByteArray& text, qsizetype capacity)
{
    QByteArray buffer(capacity, ' ');
    std::copy_n(text.constData(), std::min(text.size(), capacity), buffer.data());
    return buffer;
}

// The buffer as the caller's text again: what lies before a zero the library may have written,
// kept at the buffer's full width so that an identity stays 8 characters.
QByteArray takeBack(const QByteArray& buffer)
{
    const auto length = static_cast<qsizetype>(qstrnlen(buffer.constData(), buffer.size()));
    return buffer.left(length).leftJustified(buffer.size(), ' ');
}

// Runs `call` on a TerminalId buffer prepared from `terminalId` and hands the buffer back.
template <typename Call>
std::int32_t withTerminalId(QByteArray& terminalId, Call call)
{
    QByteArray buffer = textBuffer(
        terminalId, std::max<qsizetype>(terminalId.size(), CommLibrary::kTerminalIdLength));
    const std::int32_t result = call(buffer.data());
    terminalId = takeBack(buffer);
    return result;
}

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

QString VorlakLibrary::libraryFileName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("Vorlak.dll");
#else
    return QStringLiteral("libvorlak.so");
#endif
}

QString VorlakLibrary::systemFolder()
{
#ifdef Q_OS_WIN
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return {};
    }
    return QDir::fromNativeSeparators(QString::fromWCharArray(path, static_cast<int>(length)));
#else
    // GenericDataLocation is $XDG_DATA_HOME, or ~/.local/share when that is unset.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QLatin1String("/kolbrin/lib");
#endif
}

QString VorlakLibrary::packageFolder(const QString& programFolder)
{
#ifdef KOLBRIN_PACKAGE_LIBRARY_DIR
    if (programFolder.isEmpty()) {
        return {};
    }
    return QDir::cleanPath(
        QDir(programFolder).filePath(QStringLiteral(KOLBRIN_PACKAGE_LIBRARY_DIR)));
#else
    Q_UNUSED(programFolder)
    return {};
#endif
}

VorlakLibrary::SearchPath VorlakLibrary::searchPathFor(const QString& programFolder)
{
    return {programFolder, systemFolder(), true, packageFolder(programFolder)};
}

VorlakLibrary::SearchPath VorlakLibrary::defaultSearchPath()
{
    return searchPathFor(QCoreApplication::applicationDirPath());
}

VorlakLibrary::VorlakLibrary(UserDialogs& dialogs, SearchPath searchPath)
    : m_dialogs(dialogs)
    , m_searchPath(std::move(searchPath))
    , m_functions(std::make_unique<Functions>())
{
}

VorlakLibrary::~VorlakLibrary()
{
    // The library outlives this object in the process: it must not call back into it.
    if (m_progress && m_functions->setProgressCallback != nullptr) {
        m_functions->setProgressCallback(nullptr, nullptr);
    }
    if (m_library.isLoaded()) {
        m_library.unload();
    }
}

bool VorlakLibrary::isLoaded() const
{
    return m_attempted && m_library.isLoaded();
}

QString VorlakLibrary::loadedFrom() const
{
    return isLoaded() ? m_library.fileName() : QString();
}

bool VorlakLibrary::load()
{
    if (m_attempted) {
        return isLoaded();
    }
    // Marked before anything can show a message: a timer tick running inside the message box
    // must find the attempt made, not start another one.
    m_attempted = true;
    if (!openLibrary()) {
        return false;
    }
    resolveFunctions();
    return true;
}

const VorlakLibrary::Functions& VorlakLibrary::functions()
{
    load();
    return *m_functions;
}

bool VorlakLibrary::openLibrary()
{
    const QString name = libraryFileName();
    // RTLD_NOW: a copy with unresolved dependencies fails here, with a reason, instead of
    // ending the program at its first call.
    const auto tryLoad = [this](const QString& fileName) {
        m_library.setFileName(fileName);
        m_library.setLoadHints(QLibrary::ResolveAllSymbolsHint);
        return m_library.load();
    };

    QStringList looked;
    bool foundUnusable = false;
    for (const QString& folder :
         {m_searchPath.programFolder, m_searchPath.packageFolder, m_searchPath.systemFolder}) {
        if (folder.isEmpty()) {
            continue;
        }
        const QString path = QDir(folder).filePath(name);
        if (!QFileInfo::exists(path)) {
            looked.append(
                QCoreApplication::translate("VorlakLibrary", "%1: not there").arg(native(folder)));
            continue;
        }
        if (tryLoad(path)) {
            return true;
        }
        foundUnusable = true;
        looked.append(QStringLiteral("%1: %2").arg(native(folder), m_library.errorString()));
    }
    if (m_searchPath.platformSearch) {
        if (tryLoad(name)) {
            return true;
        }
        looked.append(
            QCoreApplication::translate("VorlakLibrary", "the system's library search path: %1")
                .arg(m_library.errorString()));
    }

    const QString installHere =
        m_searchPath.systemFolder.isEmpty()
            ? QCoreApplication::translate("VorlakLibrary", "the program's folder")
            : native(m_searchPath.systemFolder);
    const QString text =
        foundUnusable
            ? QCoreApplication::translate("VorlakLibrary",
                                          "The communication library %1 could not be loaded, so "
                                          "no terminal can be reached.\n\nLooked for it in:\n  "
                                          "%2\n\nPut %1 in %3 and start the program again.")
            : QCoreApplication::translate("VorlakLibrary",
                                          "The communication library %1 could not be found, so "
                                          "no terminal can be reached.\n\nLooked for it in:\n  "
                                          "%2\n\nPut %1 in %3 and start the program again.");
    report(text.arg(name, looked.join(QLatin1String("\n  ")), installHere));
    return false;
}

void VorlakLibrary::resolveFunctions()
{
    QStringList missing;
    const auto resolve = [this, &missing](auto& slot, const char* name, bool required = true) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(m_library.resolve(name));
        if (slot == nullptr && required) {
            missing.append(QLatin1String(name));
        }
    };
    Functions& f = *m_functions;
    resolve(f.openCom, "I_OpenCom");
    resolve(f.openComWithoutOpen, "I_OpenComWithoutOpen");
    resolve(f.closeCom, "I_CloseCom");
    resolve(f.checkTerminal, "I_CheckTerminal");
    resolve(f.readHeader, "I_ReadHeader");
    resolve(f.readEntries, "I_ReadEntries");
    resolve(f.getStringFromPtr, "GetStringFromPtr");
    resolve(f.readEntriesConfig, "I_ReadEntriesConfig");
    resolve(f.readHeadersConfig, "I_ReadHeadersConfig");
    resolve(f.sendList, "I_SendList");
    resolve(f.clearEntries, "I_ClearEntries");
    resolve(f.clearAllEntries, "I_ClearAllEntries");
    resolve(f.killProgram, "I_KillProgram");
    resolve(f.ioOpen, "IO_Open");
    resolve(f.ioClose, "IO_Close");
    resolve(f.ioWrite, "IO_Write");
    resolve(f.ioRead, "IO_Read");
    resolve(f.ioNumCharsInQue, "IO_NumCharsInQue");
    resolve(f.dtrEnable, "IO_dtr_control_enable");
    resolve(f.dtrDisable, "IO_dtr_control_disable");
    resolve(f.sleep, "VORLAK_Sleep");
    resolve(f.lastOpenError, "VORLAK_LastOpenError", false);
    resolve(f.setProgressCallback, "VORLAK_SetProgressCallback", false);
    resolve(f.portLost, "VORLAK_PortLost", false);

    if (missing.isEmpty()) {
        return;
    }
    const QString text =
        missing.size() == 1
            ? QCoreApplication::translate("VorlakLibrary",
                                          "The communication library %1 does not provide the "
                                          "function %2, so the commands that need it report a "
                                          "communication error.\n\nInstall a complete copy of "
                                          "the library and start the program again.")
            : QCoreApplication::translate("VorlakLibrary",
                                          "The communication library %1 does not provide the "
                                          "functions %2, so the commands that need them report a "
                                          "communication error.\n\nInstall a complete copy of "
                                          "the library and start the program again.");
    report(text.arg(native(m_library.fileName()), missing.join(QLatin1String(", "))));
}

void VorlakLibrary::report(const QString& text)
{
    m_problem = text;
    m_dialogs.showError(text);
}

std::int32_t VorlakLibrary::I_OpenCom(std::int32_t port, std::int32_t speed)
{
    const auto fn = functions().openCom;
    return fn ? fn(port, speed) : kCommError;
}

std::int32_t VorlakLibrary::I_OpenComWithoutOpen(std::int32_t port, std::int32_t speed)
{
    const auto fn = functions().openComWithoutOpen;
    return fn ? fn(port, speed) : kCommError;
}

void VorlakLibrary::I_CloseCom(std::int32_t port)
{
    if (const auto fn = functions().closeCom) {
        fn(port);
    }
}

std::int32_t VorlakLibrary::I_CheckTerminal(QByteArray& terminalId)
{
    const auto fn = functions().checkTerminal;
    if (!fn) {
        // This function's error is 0, like "no terminal": callers take any nonzero answer,
        // -1 included, for a terminal in the cradle and would go on to read it.
        return 0;
    }
    return withTerminalId(terminalId, [&](char* id) { return fn(id); });
}

std::int32_t VorlakLibrary::I_ReadHeader(QByteArray& terminalId, const QByteArray& headerTemplate,
                                         std::int32_t index, std::int32_t& textToken)
{
    textToken = 0;
    const auto fn = functions().readHeader;
    if (!fn) {
        return kCommError;
    }
    return withTerminalId(terminalId, [&](char* id) {
        return fn(id, headerTemplate.constData(), index, &textToken);
    });
}

std::int32_t VorlakLibrary::I_ReadEntries(QByteArray& terminalId, const QByteArray& bodyTemplate,
                                          std::int32_t index, std::int32_t& textToken)
{
    textToken = 0;
    const auto fn = functions().readEntries;
    if (!fn) {
        return kCommError;
    }
    return withTerminalId(
        terminalId, [&](char* id) { return fn(id, bodyTemplate.constData(), index, &textToken); });
}

QByteArray VorlakLibrary::GetStringFromPtr(std::int32_t textToken, std::int32_t length)
{
    const auto fn = functions().getStringFromPtr;
    if (!fn || length <= 0) {
        return {};
    }
    QByteArray buffer(length, ' ');
    fn(buffer.data(), textToken, length);
    return buffer;
}

std::int32_t VorlakLibrary::I_ReadEntriesConfig(QByteArray& terminalId, QByteArray& bodyTemplate)
{
    bodyTemplate = QByteArray(kTemplateCapacity, ' ');
    const auto fn = functions().readEntriesConfig;
    if (!fn) {
        return kCommError;
    }
    const std::int32_t result =
        withTerminalId(terminalId, [&](char* id) { return fn(id, bodyTemplate.data()); });
    bodyTemplate = takeBack(bodyTemplate);
    return result;
}

std::int32_t VorlakLibrary::I_ReadHeadersConfig(QByteArray& terminalId, QByteArray& headerTemplate)
{
    headerTemplate = QByteArray(kTemplateCapacity, ' ');
    const auto fn = functions().readHeadersConfig;
    if (!fn) {
        return kCommError;
    }
    const std::int32_t result =
        withTerminalId(terminalId, [&](char* id) { return fn(id, headerTemplate.data()); });
    headerTemplate = takeBack(headerTemplate);
    return result;
}

std::int32_t VorlakLibrary::I_SendList(QByteArray& terminalId, const QByteArray& userVariable,
                                       const QByteArray& data, std::int32_t position)
{
    const auto fn = functions().sendList;
    if (!fn || !fitsInt32(data.size())) {
        return kCommError;
    }
    return withTerminalId(terminalId, [&](char* id) {
        return fn(id, userVariable.constData(), data.constData(),
                  static_cast<std::int32_t>(data.size()), position);
    });
}

std::int32_t VorlakLibrary::I_ClearEntries(QByteArray& terminalId, std::int32_t list)
{
    const auto fn = functions().clearEntries;
    if (!fn) {
        return kCommError;
    }
    return withTerminalId(terminalId, [&](char* id) { return fn(id, list); });
}

std::int32_t VorlakLibrary::I_ClearAllEntries(QByteArray& terminalId)
{
    const auto fn = functions().clearAllEntries;
    if (!fn) {
        return kCommError;
    }
    return withTerminalId(terminalId, [&](char* id) { return fn(id); });
}

std::int32_t VorlakLibrary::I_KillProgram(QByteArray& terminalId)
{
    const auto fn = functions().killProgram;
    if (!fn) {
        return kCommError;
    }
    return withTerminalId(terminalId, [&](char* id) { return fn(id); });
}

std::int32_t VorlakLibrary::IO_Open(std::int32_t port, std::int32_t speed)
{
    const auto fn = functions().ioOpen;
    return fn ? fn(port, speed) : kCommError;
}

void VorlakLibrary::IO_Close(std::int32_t port)
{
    if (const auto fn = functions().ioClose) {
        fn(port);
    }
}

void VorlakLibrary::IO_Write(std::int32_t port, const QByteArray& bytes)
{
    const auto fn = functions().ioWrite;
    if (fn && fitsInt32(bytes.size())) {
        fn(port, static_cast<std::int32_t>(bytes.size()), bytes.constData());
    }
}

QByteArray VorlakLibrary::IO_Read(std::int32_t port, std::int32_t maxCount, std::int32_t waitMs)
{
    const auto fn = functions().ioRead;
    if (!fn || maxCount <= 0) {
        return {};
    }
    QByteArray buffer(maxCount, ' ');
    const std::int32_t count = fn(port, maxCount, buffer.data(), waitMs);
    buffer.truncate(std::clamp(count, 0, maxCount));
    return buffer;
}

std::int32_t VorlakLibrary::IO_NumCharsInQue(std::int32_t port)
{
    const auto fn = functions().ioNumCharsInQue;
    return fn ? std::max(fn(port), 0) : 0;
}

void VorlakLibrary::IO_dtr_control_enable(std::int32_t port)
{
    if (const auto fn = functions().dtrEnable) {
        fn(port);
    }
}

void VorlakLibrary::IO_dtr_control_disable(std::int32_t port)
{
    if (const auto fn = functions().dtrDisable) {
        fn(port);
    }
}

void VorlakLibrary::VORLAK_Sleep(std::int32_t milliseconds)
{
    if (const auto fn = functions().sleep) {
        fn(milliseconds);
    }
}

std::optional<CommLibrary::OpenError> VorlakLibrary::lastOpenError()
{
    const auto fn = functions().lastOpenError;
    if (!fn) {
        return std::nullopt;
    }
    QByteArray buffer(kOpenErrorCapacity, '\0');
    const std::int32_t kind = fn(buffer.data(), kOpenErrorCapacity);
    if (kind <= 0) {
        return std::nullopt;
    }
    OpenError error;
    switch (kind) {
    case 1:
        error.kind = OpenError::Kind::NoDevice;
        break;
    case 2:
        error.kind = OpenError::Kind::PermissionDenied;
        break;
    case 4:
        error.kind = OpenError::Kind::InUse;
        break;
    default:
        error.kind = OpenError::Kind::Other;
        break;
    }
    // The library zero-terminates within the capacity; the explicit bound guards a copy that
    // does not.
    error.text = TextCodec::fromWindows1252(
        buffer.left(static_cast<qsizetype>(qstrnlen(buffer.constData(), buffer.size()))));
    return error;
}

bool VorlakLibrary::portLost(std::int32_t port)
{
    const auto fn = functions().portLost;
    return fn && fn(port) == 1;
}

bool VorlakLibrary::setReadProgress(ProgressHandler handler)
{
    const auto fn = functions().setProgressCallback;
    if (!fn) {
        return false;
    }
    m_progress = std::move(handler);
    if (m_progress) {
        fn(&VorlakLibrary::relayProgress, this);
    } else {
        fn(nullptr, nullptr);
    }
    return true;
}

void VorlakLibrary::relayProgress(std::int32_t records, std::int32_t bytes, void* context)
{
    const auto* self = static_cast<const VorlakLibrary*>(context);
    if (self != nullptr && self->m_progress) {
        self->m_progress({records, bytes});
    }
}
