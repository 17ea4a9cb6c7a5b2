#pragma once

#include <QString>
#include <QStringList>
#include <optional>

/// What a file dialog is asked to show.
struct FileDialogRequest
{
    QString title;
    QString filter;      ///< e.g. "Text (*.txt);;All Files (*.*)"
    QString initialPath; ///< folder or file name offered first
};

/// What a message is, shown by its icon.
enum class MessageIcon {
    Information, ///< something done or to know
    Warning,     ///< something refused or left undone that the user can put right
    Critical     ///< a failure: something could not be done
};

/// Every way the program talks to the user in a modal way. Windows use the Qt implementation;
/// tests script the answers and record what was shown.
class UserDialogs
{
public:
    virtual ~UserDialogs() = default;

    /// A message box with an OK button only. An empty title means the program's title.
    virtual void showMessage(const QString& text, const QString& title = {},
                             MessageIcon icon = MessageIcon::Information) = 0;
    void showWarning(const QString& text, const QString& title = {})
    {
        showMessage(text, title, MessageIcon::Warning);
    }
    void showError(const QString& text, const QString& title = {})
    {
        showMessage(text, title, MessageIcon::Critical);
    }
    /// A question with Yes and No buttons; true for Yes.
    [[nodiscard]] virtual bool askYesNo(const QString& text, const QString& title) = 0;
    /// A one-line input prompt; nullopt when cancelled.
    [[nodiscard]] virtual std::optional<QString>
    askText(const QString& prompt, const QString& title = {}, const QString& initialText = {}) = 0;
    /// File dialogs; nullopt when cancelled.
    [[nodiscard]] virtual std::optional<QString> openFileName(const FileDialogRequest& request) = 0;
    [[nodiscard]] virtual std::optional<QString> saveFileName(const FileDialogRequest& request) = 0;
    /// The busy (hourglass) pointer on or off. Calls nest: see BusyPointer.
    virtual void setBusy(bool busy) = 0;
};

/// Shows the busy pointer for the lifetime of the guard, also when leaving by an early return.
class BusyPointer
{
public:
    explicit BusyPointer(UserDialogs& dialogs)
        : m_dialogs(dialogs)
    {
        m_dialogs.setBusy(true);
    }
    ~BusyPointer() { m_dialogs.setBusy(false); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    UserDialogs& m_dialogs;
};
