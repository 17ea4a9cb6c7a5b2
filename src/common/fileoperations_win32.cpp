// The renames, on Windows: MoveFileExW without MOVEFILE_REPLACE_EXISTING refuses a name that is
// taken, in one step; with it, it replaces the file of that name.
#ifdef _WIN32

#include "fileoperations.h"

#include <QDir>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace {

// The system's own wording for an error, without the trailing full stop and line break (the
// messages that show it add their own full stop).
QString systemMessage(DWORD error)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    QString message;
    if (buffer != nullptr) {
        message = QString::fromWCharArray(buffer, static_cast<qsizetype>(length));
        LocalFree(buffer);
    }
    while (!message.isEmpty() &&
           (message.endsWith(QLatin1Char(' ')) || message.endsWith(QLatin1Char('.')) ||
            message.endsWith(QLatin1Char('\r')) || message.endsWith(QLatin1Char('\n')))) {
        message.chop(1);
    }
    if (message.isEmpty()) {
        message = QStringLiteral("error %1").arg(error);
    }
    return message;
}

} // namespace

RenameResult renameWithoutReplacing(const QString& from, const QString& to)
{
    const QString source = QDir::toNativeSeparators(from);
    const QString target = QDir::toNativeSeparators(to);
    if (MoveFileExW(reinterpret_cast<LPCWSTR>(source.utf16()),
                    reinterpret_cast<LPCWSTR>(target.utf16()), 0)) {
        return {RenameOutcome::Renamed, {}};
    }
    const DWORD error = GetLastError();
    const bool taken = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
    return {taken ? RenameOutcome::NameTaken : RenameOutcome::Failed, systemMessage(error)};
}

QString renameReplacing(const QString& from, const QString& to)
{
    const QString source = QDir::toNativeSeparators(from);
    const QString target = QDir::toNativeSeparators(to);
    if (MoveFileExW(reinterpret_cast<LPCWSTR>(source.utf16()),
                    reinterpret_cast<LPCWSTR>(target.utf16()), MOVEFILE_REPLACE_EXISTING)) {
        return {};
    }
    return systemMessage(GetLastError());
}

#endif
