#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

class ReadingSession;
class SettingsStore;
class UiLanguage;
class UploadProtocol;
class UserDialogs;
struct AppState;

/// The Install command of the upload dialog: copies the chosen program (image and header) into
/// the offline folder, where it replaces whatever program was there. Terminals older than
/// version 7.8 get it over the serial port first, and the folder only once the terminal took it.
class ProgramInstaller
{
public:
    /// What the dialog shows when Install is pressed.
    struct Choice
    {
        QString selectedEntry;    ///< the chosen list entry (an image path); empty: none chosen
        bool oldTerminal = false; ///< "Version <7.8" is ticked
        QString comPortText;      ///< the port box, e.g. "Com1"
    };

    enum class Result {
        NothingSelected, ///< the user was asked to choose; nothing changed
        NotInstalled,    ///< a file could not be read or copied, or the terminal did not take
                         ///< the program; the offline folder is as it was
        Installed,       ///< copied; for old terminals, the terminal took the program
    };

    ProgramInstaller(AppState& state, SettingsStore& store, ReadingSession& session,
                     UserDialogs& dialogs, const UiLanguage& language, QString offlineFolder);

    Result install(const Choice& choice, UploadProtocol& protocol);

private:
    /// The two files of a program and their names in the offline folder.
    struct OfflineFiles
    {
        QByteArray image;
        QString imageName;
        QByteArray header;
        QString headerName;
    };
    struct CopyFailure
    {
        QString what;
        QString reason;
    };
    /// How putting a program into the offline folder went; all empty when it went well.
    struct OfflineResult
    {
        QString failure; ///< what could not be done; the folder is as it was
        QString reason;
        QString leftover; ///< the message naming files of an earlier program that stayed
    };

    /// Copies the program in, removes every other file and clears the body template.
    [[nodiscard]] OfflineResult putInOfflineFolder(const OfflineFiles& files);
    /// Nothing when both files are in place; otherwise the folder is as it was.
    [[nodiscard]] std::optional<CopyFailure> copyIn(const OfflineFiles& files);
    /// Empty when every other file went, otherwise the message naming those that stayed.
    [[nodiscard]] QString removeOtherPrograms(const QStringList& keep);
    void clearBodyTemplate();

    AppState& m_state;
    SettingsStore& m_store;
    ReadingSession& m_session;
    UserDialogs& m_dialogs;
    const UiLanguage& m_language;
    QString m_offlineFolder;
};
