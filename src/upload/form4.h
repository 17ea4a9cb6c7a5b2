#pragma once

#include "i18n/widgetcaptioner.h"
#include "uploadhost.h"

#include <QDialog>

class ProgramUpload;
class QCheckBox;
class PortList;
class QComboBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QStatusBar;
class UiLanguage;

/// The upload dialog: lists the program images found where programs are looked for and installs
/// the chosen one. With explained sources it says above the list why it is open and where it
/// looked, and Browse... adds a program from anywhere. The main window is hidden while it is open.
class Form4 : public QDialog, public UploadProgress
{
    Q_OBJECT

public:
    Form4(UploadHost& host, ProgramUpload& upload, UiLanguage& language, QWidget* parent = nullptr);
    ~Form4() override;

    /// Fills the list and sets the captions; runs when the dialog is shown.
    void Form_Load();
    /// Shows or hides the port box with its label, following the check box.
    void Check1_Click();
    /// Install; closes the dialog unless nothing was installed.
    void Command1_Click();
    /// Browse...: adds the program the user chooses to the list (once) and selects it.
    void browseProgram();
    /// Shows the main window again; runs when the dialog closes.
    void Form_Unload();

    /// Status panel 1.
    void setUploadStatus(const QString& text) override;
    /// The progress bar beside panel 1: bytes of the attempt sent, and the attempt's number.
    void setUploadProgress(qint64 sent, qint64 total, int attempt) override;
    [[nodiscard]] QProgressBar* progressBar() const { return m_progress; }

    /// True while Install runs; the dialog does not close meanwhile.
    [[nodiscard]] bool isInstalling() const { return m_installing; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setControlsEnabled(bool enabled);

    UploadHost& m_host;
    ProgramUpload& m_upload;
    UiLanguage& m_language;
    WidgetCaptioner m_captioner;

    QLabel* m_notice = nullptr;
    QLabel* m_label2 = nullptr;
    QComboBox* m_comPortText = nullptr;
    PortList* m_portList = nullptr;
    QListWidget* m_list1 = nullptr;
    QCheckBox* m_check1 = nullptr;
    QPushButton* m_command1 = nullptr;
    QPushButton* m_browse = nullptr;
    QStatusBar* m_statusBar1 = nullptr;
    QLabel* m_panel1 = nullptr;
    QProgressBar* m_progress = nullptr;

    bool m_loaded = false;
    bool m_mainHidden = false;
    bool m_installing = false;
};
