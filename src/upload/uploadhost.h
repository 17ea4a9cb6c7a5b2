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
    /// Empty text clears the panel (and the progress with it).
    virtual void setUploadStatus(const QString& text) = 0;
    /// Bytes of the attempt written so far, of `total`, between the writes of an attempt.
    virtual void setUploadProgress(qint64 sent, qint64 total, int attempt)
    {
        static_cast<void>(sent);
        static_cast<void>(total);
        static_cast<void>(attempt);
    }
};
