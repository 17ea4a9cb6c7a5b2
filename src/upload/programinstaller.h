#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class ReadingSession;
class SettingsStore;
class UiLanguage;
class UploadProtocol;
class UserDialogs;
struct AppState;

/// The Install command of the upload dialog: copies the chosen program (image and header) into
/// the offline folder, where it replaces whatever program was there, and for terminals older
/// than version 7.8 sends it over the serial port as well.
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
        NotInstalled,    ///< a file could not be read or copied; the previous program stays
        Installed,       ///< copied (and, for old terminals, the upload was run)
    };

    ProgramInstaller(AppState& state, SettingsStore& store, ReadingSession& session,
                     UserDialogs& dialogs, const UiLanguage& language, QString offlineFolder);

    Result install(const Choice& choice, UploadProtocol& protocol);

private:
    /// Empty when both files are in place, otherwise the message to show.
    [[nodiscard]] QString copyIn(const QByteArray& image, const QString& imageName,
                                 const QByteArray& header, const QString& headerName);
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
