#include "inisettingsstore.h"

#include "common/fileoperations.h"
#include "common/textcodec.h"
#include "common/userdialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <algorithm>

IniSettingsStore::IniSettingsStore(QString filePath, UserDialogs* dialogs, const QString& section)
    : m_filePath(std::move(filePath))
    , m_dialogs(dialogs)
    , m_document(section)
{
}

QString IniSettingsStore::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1String("/Kolbrin/Kolbrin.ini");
}

IniSettingsStore::FileStamp IniSettingsStore::currentStamp() const
{
    const QFileInfo info(m_filePath);
    if (!info.exists()) {
        return {};
    }
    return {true, info.size(), info.lastModified()};
}

void IniSettingsStore::reloadIfChanged()
{
    const FileStamp stamp = currentStamp();
    if (m_loadedOnce && stamp == m_loadedStamp) {
        return;
    }
    m_loadedOnce = true;
    m_loadedStamp = stamp;
    m_loadProblem.clear();
    m_fileUnreadable = false;
    if (!stamp.exists) {
        return; // no file yet: what was written in this run stays in effect
    }
    QFile file(m_filePath);
    if (!QFileInfo(m_filePath).isFile() || !file.open(QIODevice::ReadOnly)) {
        m_fileUnreadable = true;
        m_unreadableReason =
            QCoreApplication::translate("IniSettingsStore", "the existing file could not be read");
        m_loadProblem =
            QCoreApplication::translate("IniSettingsStore",
                                        "The settings file %1 could not be read: %2")
                .arg(QDir::toNativeSeparators(m_filePath),
                     QFileInfo(m_filePath).isDir()
                         ? QCoreApplication::translate("IniSettingsStore", "it is a folder")
                         : file.errorString());
        return;
    }
    // Never more than the limit is read, also when the file grows meanwhile.
    const QByteArray bytes = file.read(kMaxFileBytes + 1);
    if (std::max(file.size(), qint64(bytes.size())) > kMaxFileBytes) {
        refuseLargeFile(std::max(file.size(), qint64(bytes.size())));
        return;
    }
    const std::vector<int> badLines = m_document.parse(TextCodec::decodeFileText(bytes));
    if (!badLines.empty()) {
        m_loadProblem = QCoreApplication::translate(
                            "IniSettingsStore", "Line %1 of the settings file %2 is not a setting")
                            .arg(badLines.front())
                            .arg(QDir::toNativeSeparators(m_filePath));
    }
}

std::optional<QString> IniSettingsStore::value(const QString& key)
{
    reloadIfChanged();
    return m_document.value(key);
}

bool IniSettingsStore::write(const QString& key, const QString& value)
{
    reloadIfChanged();
    m_document.setValue(key, value);
    if (m_fileUnreadable) {
        // Writing now would replace content we could not read.
        reportWriteFailure(m_unreadableReason);
        return false;
    }
    const QString folder = QFileInfo(m_filePath).absolutePath();
    if (!QDir().mkpath(folder)) {
        reportWriteFailure(
            QCoreApplication::translate("IniSettingsStore", "the folder %1 cannot be created")
                .arg(QDir::toNativeSeparators(folder)));
        return false;
    }
    const FileWriteResult result = writeFileAtomically(m_filePath, m_document.toText().toUtf8());
    if (!result) {
        reportWriteFailure(result.error);
        return false;
    }
    m_loadedStamp = currentStamp();
    m_writeFailureShown = false;
    return true;
}

void IniSettingsStore::reportWriteFailure(const QString& reason)
{
    // One message for a run of failed writes (the dialog writes many keys at once).
    if (m_writeFailureShown || m_dialogs == nullptr) {
        m_writeFailureShown = true;
        return;
    }
    m_writeFailureShown = true;
    m_dialogs->showError(
        QCoreApplication::translate("IniSettingsStore", "The settings could not be saved to %1: %2")
            .arg(QDir::toNativeSeparators(m_filePath), reason));
}

void IniSettingsStore::refuseLargeFile(qint64 size)
{
    // What was read so far is dropped: the defaults are in force, and what is written in this run
    // stays in effect without replacing the file, which the user may still mend.
    m_document.parse(QString());
    m_fileUnreadable = true;
    m_unreadableReason = QCoreApplication::translate("IniSettingsStore",
                                                     "the existing file is too large to be read");
    const QLocale numbers(QLocale::English);
    m_loadProblem = QCoreApplication::translate(
                        "IniSettingsStore",
                        "The settings file %1 is %2 bytes, more than the %3 bytes a settings file "
                        "may have, so it was not read. Kolbrin runs with the default settings and "
                        "leaves the file as it is: settings changed now are not saved. Make the "
                        "file smaller or remove it, then start Kolbrin again.")
                        .arg(QDir::toNativeSeparators(m_filePath), numbers.toString(size),
                             numbers.toString(kMaxFileBytes));
    // This message says why nothing is saved: no second one for each write.
    m_writeFailureShown = true;
    if (m_dialogs != nullptr) {
        m_dialogs->showWarning(m_loadProblem);
    }
}
