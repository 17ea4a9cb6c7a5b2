#pragma once

#include "generalconfiguration.h"
#include "i18n/widgetcaptioner.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class PortList;
class QPushButton;
class QRadioButton;

/// The general configurations dialog: every setting of the program, the special-key palette
/// of keyboard mode and the three "Auto detect" buttons. Not modal. OK, Cancel and the
/// window's close button discard it (see Form2Host for its life cycle).
class Form2 : public QDialog
{
    Q_OBJECT

public:
    explicit Form2(GeneralConfiguration& model, QWidget* parent = nullptr);
    ~Form2() override;

    /// Fills the controls from the store and applies the language of the Language box.
    void Form_Load();

    [[nodiscard]] CaptionTarget& captioner() { return m_captioner; }

    /// Runs a command that needs the port (OK, port detection, template import) when the link
    /// to the terminal is free; without a guard the command runs at once. A command put off
    /// is dropped with its dialog (the context).
    using PortGuard = std::function<void(QObject* context, const std::function<void()>& command)>;
    void setPortGuard(PortGuard guard) { m_portGuard = std::move(guard); }

    /// What the controls hold now.
    [[nodiscard]] ConfigurationValues values() const;
    void setValues(const ConfigurationValues& values);

    /// Browse for the output file and for the external program.
    void Command1_Click();
    void Command4_Click();
    /// OK: saves, applies and discards the dialog (it stays open when the store failed).
    void Command2_Click();
    /// Cancel: discards the dialog, nothing saved.
    void Command3_Click();
    /// Port detection and the imports of the body and header templates.
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    /// Inserts the token of special key `index` at the caret of the body template box.
    void Command8_Click(int index);

    /// True while a terminal operation runs; the dialog does not close meanwhile.
    [[nodiscard]] bool isBusy() const { return m_busy; }
    /// True once OK or Cancel has discarded the dialog.
    [[nodiscard]] bool isDiscarded() const { return m_discarded; }

    void reject() override;

signals:
    /// The dialog is closed for good and will be deleted; a new one replaces it when needed.
    void discarded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildSpecialKeys();
    void showFramesFor(WorkingMode mode);
    [[nodiscard]] WorkingMode selectedMode() const;
    void discard();
    void runBusy(const std::function<void()>& work);

    void runPortCommand(const std::function<void()>& command);

    GeneralConfiguration& m_model;
    WidgetCaptioner m_captioner;
    PortGuard m_portGuard;
    QLabel* m_detecting = nullptr;

    QGroupBox* m_frame1 = nullptr;
    QRadioButton* m_automaticMode = nullptr;
    QRadioButton* m_manualMode = nullptr;
    QRadioButton* m_insertKeys = nullptr;
    QCheckBox* m_autoAnswer = nullptr;
    QCheckBox* m_keepInTray = nullptr;
    QGroupBox* m_frame2 = nullptr;
    QCheckBox* m_autoStart = nullptr;
    QCheckBox* m_autoClear = nullptr;
    QRadioButton* m_incrNumber = nullptr;
    QRadioButton* m_newFile = nullptr;
    QRadioButton* m_appendFile = nullptr;
    QCheckBox* m_useTermId = nullptr;
    QCheckBox* m_skipDuplicates = nullptr;
    QLineEdit* m_myFileName = nullptr;
    QLineEdit* m_myExternalProgram = nullptr;
    QGroupBox* m_specialKeys = nullptr;
    QLineEdit* m_boxAsciiDataFormat = nullptr;
    QLineEdit* m_boxAsciiDataFormat2 = nullptr;
    QComboBox* m_comPort = nullptr;
    PortList* m_portList = nullptr;
    QComboBox* m_language = nullptr;
    QLabel* m_label5 = nullptr;
    QComboBox* m_baudRate = nullptr;

    bool m_busy = false;
    bool m_discarded = false;
};
