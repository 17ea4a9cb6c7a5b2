#pragma once

#include "common/settingsstore.h"
#include "inidocument.h"

#include <QDateTime>

class UserDialogs;

/// The settings store as an INI file (section [Setup], or another one, UTF-8). The file is read
/// again when it changed on disk, and every write replaces it atomically. Values written stay in
/// effect for this run even when the file cannot be written; the user is told once, naming the
/// file.
///
/// A file larger than kMaxFileBytes is not read: the user is told (file, size, limit), the
/// defaults are in force, and the file is never written over while it stays that large, so that
/// it can be mended.
class IniSettingsStore : public SettingsStore
{
public:
    /// A settings file holds some twenty short values and two templates of at most
    /// kMaxTemplateLength characters: a few kilobytes. 1 MiB is far above any real one, and
    /// bounds the memory a file costs to load (a 50 MB file took 373 MB).
    static constexpr qint64 kMaxFileBytes = qint64(1) << 20;

    /// dialogs may be null (no messages, e.g. in tools). `section` is the group read and
    /// written; the others in the file are kept as they are.
    IniSettingsStore(QString filePath, UserDialogs* dialogs,
                     const QString& section = QStringLiteral("Setup"));

    /// Kolbrin/Kolbrin.ini in the user's configuration folder.
    [[nodiscard]] static QString defaultFilePath();

    std::optional<QString> value(const QString& key) override;
    bool write(const QString& key, const QString& value) override;
    [[nodiscard]] QString loadProblem() const override { return m_loadProblem; }

    [[nodiscard]] const QString& filePath() const { return m_filePath; }

private:
    struct FileStamp
    {
        bool exists = false;
        qint64 size = -1;
        QDateTime modified;
        bool operator==(const FileStamp&) const = default;
    };

    [[nodiscard]] FileStamp currentStamp() const;
    void reloadIfChanged();
    void reportWriteFailure(const QString& reason);
    void refuseLargeFile(qint64 size);

    QString m_filePath;
    UserDialogs* m_dialogs;
    IniDocument m_document;
    FileStamp m_loadedStamp;
    bool m_loadedOnce = false;
    bool m_fileUnreadable = false;
    /// Why a write is refused while m_fileUnreadable holds.
    QString m_unreadableReason;
    QString m_loadProblem;
    bool m_writeFailureShown = false;
};
