#pragma once

#include <QString>

/// What the upload dialog needs of the main window: it is hidden while the dialog is open and
/// shown again when the dialog closes.
class UploadHost
{
public:
    virtual ~UploadHost() = default;
    virtual void setMainWindowVisible(bool visible) = 0;
};

/// Where an upload shows how far it got: status panel 1 of the upload dialog.
class UploadProgress
{
public:
    virtual ~UploadProgress() = default;
    /// Empty text clears the panel.
    virtual void setUploadStatus(const QString& text) = 0;
};
