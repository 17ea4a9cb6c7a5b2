#pragma once

#include "commlibrary.h"

#include <QLibrary>
#include <QString>
#include <QStringList>
#include <memory>

class UserDialogs;

/// CommLibrary backed by the communication library loaded from disk by file name, its
/// functions resolved by their exported names.
///
/// The library is loaded at the first call (or at load()), not at construction, so that the
/// start-up installation step can put a fresh copy in place first. If the file or one of its
/// functions is missing, one message says so, once; the calls concerned then answer as a
/// communication error instead of crashing.
class VorlakLibrary : public CommLibrary
{
public:
    /// Where the library is looked for: the program folder, the package folder, the system
    /// folder, then the platform's search. An empty folder is skipped.
    struct SearchPath
    {
        QString programFolder;
        QString systemFolder;
        bool platformSearch = true; ///< finally by bare file name (the dynamic loader's search)
        /// Where an installed package keeps the library, next to the program's bin folder;
        /// looked at right after the program folder.
        QString packageFolder = {};
    };

    /// libvorlak.so, or Vorlak.dll on Windows.
    [[nodiscard]] static QString libraryFileName();
    /// The folder the library is installed in: kolbrin/lib in the user's data folder.
    [[nodiscard]] static QString systemFolder();
    /// The private library folder of a package, found from the folder the program lies in
    /// (for /usr/bin, /usr/lib/kolbrin), so that an unpacked package works wherever it lies.
    [[nodiscard]] static QString packageFolder(const QString& programFolder);
    /// The search path of a program lying in `programFolder`: that folder, its package folder,
    /// the system folder, then the platform's own search.
    [[nodiscard]] static SearchPath searchPathFor(const QString& programFolder);
    /// searchPathFor() the running program's folder.
    [[nodiscard]] static SearchPath defaultSearchPath();

    explicit VorlakLibrary(UserDialogs& dialogs, SearchPath searchPath = defaultSearchPath());
    ~VorlakLibrary() override;
    VorlakLibrary(const VorlakLibrary&) = delete;
    VorlakLibrary& operator=(const VorlakLibrary&) = delete;

    /// Loads the library if no attempt was made yet; true when it is loaded. The one message
    /// about a missing file or function is shown by the first attempt.
    bool load();
    [[nodiscard]] bool isLoaded() const;
    /// Full path of the loaded file (as given to the loader); empty when not loaded.
    [[nodiscard]] QString loadedFrom() const;
    /// The text of the message shown about the library, empty when there was none.
    [[nodiscard]] QString problem() const { return m_problem; }

    std::int32_t I_OpenCom(std::int32_t port, std::int32_t speed) override;
    std::int32_t I_OpenComWithoutOpen(std::int32_t port, std::int32_t speed) override;
    void I_CloseCom(std::int32_t port) override;
    std::int32_t I_CheckTerminal(QByteArray& terminalId) override;
    std::int32_t I_ReadHeader(QByteArray& terminalId, const QByteArray& headerTemplate,
                              std::int32_t index, std::int32_t& textToken) override;
    std::int32_t I_ReadEntries(QByteArray& terminalId, const QByteArray& bodyTemplate,
                               std::int32_t index, std::int32_t& textToken) override;
    QByteArray GetStringFromPtr(std::int32_t textToken, std::int32_t length) override;
    std::int32_t I_ReadEntriesConfig(QByteArray& terminalId, QByteArray& bodyTemplate) override;
    std::int32_t I_ReadHeadersConfig(QByteArray& terminalId, QByteArray& headerTemplate) override;
    std::int32_t I_SendList(QByteArray& terminalId, const QByteArray& userVariable,
                            const QByteArray& data, std::int32_t position) override;
    std::int32_t I_ClearEntries(QByteArray& terminalId, std::int32_t list) override;
    std::int32_t I_ClearAllEntries(QByteArray& terminalId) override;
    std::int32_t I_KillProgram(QByteArray& terminalId) override;
    std::int32_t IO_Open(std::int32_t port, std::int32_t speed) override;
    void IO_Close(std::int32_t port) override;
    void IO_Write(std::int32_t port, const QByteArray& bytes) override;
    QByteArray IO_Read(std::int32_t port, std::int32_t maxCount, std::int32_t waitMs) override;
    std::int32_t IO_NumCharsInQue(std::int32_t port) override;
    void IO_dtr_control_enable(std::int32_t port) override;
    void IO_dtr_control_disable(std::int32_t port) override;
    void VORLAK_Sleep(std::int32_t milliseconds) override;
    std::optional<OpenError> lastOpenError() override;
    /// Through the library's optional VORLAK_PortLost; false without it.
    bool portLost(std::int32_t port) override;
    /// Through the library's optional VORLAK_SetProgressCallback; the handler runs on the
    /// thread of the reading call.
    bool setReadProgress(ProgressHandler handler) override;

private:
    struct Functions;

    /// The resolved functions, after the one load attempt; members are null where missing.
    const Functions& functions();
    bool openLibrary();
    void resolveFunctions();
    void report(const QString& text);
    static void relayProgress(std::int32_t records, std::int32_t bytes, void* context);

    UserDialogs& m_dialogs;
    SearchPath m_searchPath;
    QLibrary m_library;
    std::unique_ptr<Functions> m_functions;
    bool m_attempted = false;
    QString m_problem;
    ProgressHandler m_progress;
};
