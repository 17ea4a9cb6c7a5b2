#pragma once

#include "install/libraryinstaller.h"

#include <QDialog>

class EventPump;
class QLabel;

/// The "Please wait..." window shown while the communication library is installed at start-up;
/// its second line says where the search is.
class Form5 : public QDialog, public InstallProgress
{
    Q_OBJECT

public:
    explicit Form5(QWidget* parent = nullptr);

    void setSearchText(const QString& text) override;
    [[nodiscard]] QString searchText() const;

    /// The start-up step around the installation: shows the window without blocking, lets it
    /// paint, runs the installation reporting into it, and closes it, also when there was
    /// nothing to install.
    static void runInstallation(LibraryInstaller& installer, EventPump& events,
                                QWidget* parent = nullptr);

private:
    QLabel* m_label1 = nullptr;
    QLabel* m_label2 = nullptr;
};
