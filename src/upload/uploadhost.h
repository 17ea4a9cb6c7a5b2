#pragma once

#include <QString>
#include <functional>

class QObject;

/// What the upload dialog needs of the main window: it is hidden while the dialog is open and
/// shown again when the dialog closes.
class UploadHost
{
public:
    virtual ~UploadHost() = default;
    virtual void setMainWindowVisible(bool visible) = 0;
    /// Runs a command that needs the port when the link to the terminal is free; a command put
    /// off is dropped with its window (the context).
    virtual void runPortCommand(QObject* context, const std::function<void()>& command)
    {
        static_cast<void>(context);
        command();
    }
};

/// Where an upload shows how far it got: status panel 1 of the upload dialog.
class UploadProgress
{
public:
    virtual ~UploadProgress() = default;
    /// Empty text clears the panel.
    virtual void setUploadStatus(const QString& text) = 0;
};
