#include "form2.h"

#include "common/twips.h"
#include "portlist.h"
#include "specialkeys.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpacerItem>
#include <QVBoxLayout>
#include <algorithm>
#include <initializer_list>
#include <utility>

namespace {

/// The sample the body box shows until opening puts the stored template there.
const char kBodySample[] = "[Artigos][XXXXXXXXXXXXXXXXXX][Qt][XXXXXX]";

template <typename Widget>
Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QPushButton* button(const char* name, QWidget* parent)
{
    auto* command = named(new QPushButton(parent), name);
    // Enter in a text box must not press a button the user did not choose.
    command->setAutoDefault(false);
    return command;
}

/// Shows `text` in a list box: its entry when it has one, otherwise an entry of its own, so
/// that a stored value is shown and written back as it is.
void showInList(QComboBox* box, const QString& text)
{
    int index = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        box->addItem(text);
        index = box->count() - 1;
    }
    box->setCurrentIndex(index);
}

/// Checks the option of the group that `chosen` names; none when it names none.
template <typename Choice>
void selectOption(std::initializer_list<std::pair<QRadioButton*, Choice>> options, Choice chosen)
{
    for (const auto& [option, choice] : options) {
        option->setAutoExclusive(false);
        option->setChecked(choice == chosen);
        option->setAutoExclusive(true);
    }
}

} // namespace

Form2::Form2(GeneralConfiguration& model, QWidget* parent)
    : QDialog(parent)
    , m_model(model)
    , m_captioner(this)
{
    setObjectName(QStringLiteral("Form2"));
    setModal(false);
    buildControls();
}

Form2::~Form2() = default;

void Form2::buildControls()
{
    // Top band: working mode, modem, OK and Cancel.
    m_frame1 = named(new QGroupBox(this), "Frame1");
    m_automaticMode = named(new QRadioButton(m_frame1), "AutomaticMode");
    m_manualMode = named(new QRadioButton(m_frame1), "ManualMode");
    m_insertKeys = named(new QRadioButton(m_frame1), "InsertKeys");
    auto* modeLayout = new QVBoxLayout(m_frame1);
    modeLayout->addWidget(m_automaticMode);
    modeLayout->addWidget(m_manualMode);
    modeLayout->addWidget(m_insertKeys);

    auto* modem =
        named(new QGroupBox(QCoreApplication::translate("Form2", "Modem"), this), "Modem");
    m_autoAnswer = named(new QCheckBox(modem), "AutoAnswer");
    auto* modemLayout = new QVBoxLayout(modem);
    modemLayout->addWidget(m_autoAnswer);
    modemLayout->addStretch(1);
    // Beside the modem, where the band has room: the dialog grows no taller for it.
    m_keepInTray = named(new QCheckBox(this), "KeepInTray");
    m_keepInTray->setText(QCoreApplication::translate("Form2", "Stay in the tray when closed"));
    m_keepInTray->setToolTip(m_keepInTray->text());
    auto* modemColumn = new QVBoxLayout;
    modemColumn->addWidget(modem);
    modemColumn->addWidget(m_keepInTray);

    QPushButton* command2 = button("Command2", this);
    command2->setText(QStringLiteral("OK"));
    QPushButton* command3 = button("Command3", this);
    auto* okCancel = new QVBoxLayout;
    okCancel->addWidget(command2);
    okCancel->addWidget(command3);
    okCancel->addStretch(1);

    auto* top = new QHBoxLayout;
    top->addWidget(m_frame1, 1);
    top->addLayout(modemColumn, 1);
    top->addLayout(okCancel);

    // Middle: the automatic-mode frame and the special keys share one place.
    m_frame2 = named(new QGroupBox(this), "Frame2");
    m_autoStart = named(new QCheckBox(m_frame2), "AutoStart");
    m_autoClear = named(new QCheckBox(m_frame2), "AutoClear");
    m_incrNumber = named(new QRadioButton(m_frame2), "IncrNumber");
    m_newFile = named(new QRadioButton(m_frame2), "NewFile");
    m_appendFile = named(new QRadioButton(m_frame2), "AppendFile");
    m_useTermId = named(new QCheckBox(m_frame2), "UseTermId");
    m_skipDuplicates = named(new QCheckBox(m_frame2), "SkipDuplicateReadings");
    auto* label3 = named(new QLabel(m_frame2), "Label3");
    m_myFileName = named(new QLineEdit(m_frame2), "MyFileName");
    QPushButton* command1 = button("Command1", m_frame2);
    auto* label6 = named(new QLabel(m_frame2), "Label6");
    m_myExternalProgram = named(new QLineEdit(m_frame2), "MyExternalProgram");
    QPushButton* command4 = button("Command4", m_frame2);
    label3->setBuddy(m_myFileName);
    label6->setBuddy(m_myExternalProgram);
    auto* frame2Layout = new QGridLayout(m_frame2);
    // Options in two columns (what the reading does, then the file policy), so that the dialog
    // fits a 1280x720 screen in every language.
    auto* options = new QGridLayout;
    int row = 0;
    for (QWidget* line :
         std::initializer_list<QWidget*>{m_autoStart, m_autoClear, m_useTermId, m_skipDuplicates}) {
        options->addWidget(line, row++, 0);
    }
    row = 0;
    for (QWidget* line : std::initializer_list<QWidget*>{m_incrNumber, m_newFile, m_appendFile}) {
        options->addWidget(line, row++, 1);
    }
    frame2Layout->addLayout(options, 0, 0, 1, 3);
    row = 1;
    frame2Layout->addWidget(label3, row, 0);
    frame2Layout->addWidget(m_myFileName, row, 1);
    frame2Layout->addWidget(command1, row++, 2);
    frame2Layout->addWidget(label6, row, 0);
    frame2Layout->addWidget(m_myExternalProgram, row, 1);
    frame2Layout->addWidget(command4, row++, 2);
    frame2Layout->setRowStretch(row, 1);
    frame2Layout->setColumnStretch(1, 1);

    m_specialKeys = named(new QGroupBox(QCoreApplication::translate("Form2", "Special Keys"), this),
                          "SpecialKeys");
    buildSpecialKeys();

    auto* middle = new QGridLayout;
    // The middle area keeps its place when both frames are hidden (manual mode), so the frames
    // above do not stretch into it.
    middle->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), 0, 0);
    middle->addWidget(m_frame2, 0, 0);
    middle->addWidget(m_specialKeys, 0, 0);
    m_frame2->hide();
    m_specialKeys->hide();

    // Bottom: the two templates, the port, the language and the hidden line speed.
    auto* label1 = named(new QLabel(this), "Label1");
    m_boxAsciiDataFormat =
        named(new QLineEdit(QString::fromLatin1(kBodySample), this), "BoxAsciiDataFormat");
    QPushButton* command6 = button("Command6", this);
    auto* label7 = named(new QLabel(this), "Label7");
    m_boxAsciiDataFormat2 = named(new QLineEdit(this), "BoxAsciiDataFormat2");
    QPushButton* command7 = button("Command7", this);
    label1->setBuddy(m_boxAsciiDataFormat);
    label7->setBuddy(m_boxAsciiDataFormat2);

    auto* label2 = named(new QLabel(this), "Label2");
    // Editable: detection may find a port beyond the list, and a stored one is kept as it is.
    m_comPort = named(new QComboBox(this), "ComPort");
    m_comPort->setEditable(true);
    m_comPort->setInsertPolicy(QComboBox::NoInsert);
    m_portList = new PortList(m_comPort, [this] { return m_model.portChoices(); });
    QPushButton* command5 = button("Command5", this);
    auto* label4 = named(new QLabel(this), "Label4");
    m_language = named(new QComboBox(this), "Language");
    m_language->addItems(
        {QStringLiteral("Portugues"), QStringLiteral("English"), QStringLiteral("Spanish")});
    m_label5 = named(new QLabel(QCoreApplication::translate("Form2", "Baud Rate"), this), "Label5");
    m_baudRate = named(new QComboBox(this), "BaudRate");
    m_baudRate->addItems({QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400"),
                          QStringLiteral("76800"), QStringLiteral("115200")});
    label2->setBuddy(m_comPort);
    label4->setBuddy(m_language);
    m_label5->setBuddy(m_baudRate);
    m_label5->hide();
    m_baudRate->hide();

    auto* bottom = new QGridLayout;
    bottom->addWidget(label1, 0, 0, 1, 3);
    bottom->addWidget(m_boxAsciiDataFormat, 1, 0, 1, 2);
    bottom->addWidget(command6, 1, 2);
    bottom->addWidget(label7, 2, 0, 1, 3);
    bottom->addWidget(m_boxAsciiDataFormat2, 3, 0, 1, 2);
    bottom->addWidget(command7, 3, 2);
    bottom->addWidget(label2, 4, 0);
    bottom->addWidget(m_comPort, 4, 1);
    bottom->addWidget(command5, 4, 2);
    bottom->addWidget(label4, 5, 0);
    bottom->addWidget(m_language, 5, 1);
    bottom->addWidget(m_label5, 6, 0);
    bottom->addWidget(m_baudRate, 6, 1);
    // Shown only while Auto detect runs: the port it is trying.
    m_detecting = named(new QLabel(this), "DetectingPort");
    m_detecting->hide();
    bottom->addWidget(m_detecting, 7, 0, 1, 3);
    bottom->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(middle, 1);
    layout->addLayout(bottom);

    for (QRadioButton* option : {m_automaticMode, m_manualMode, m_insertKeys}) {
        connect(option, &QRadioButton::toggled, this, [this](bool checked) {
            if (checked) {
                showFramesFor(selectedMode());
            }
        });
    }
    connect(command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
    connect(command2, &QPushButton::clicked, this,
            [this] { runPortCommand([this] { Command2_Click(); }); });
    connect(command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(command5, &QPushButton::clicked, this,
            [this] { runPortCommand([this] { Command5_Click(); }); });
    connect(command6, &QPushButton::clicked, this,
            [this] { runPortCommand([this] { Command6_Click(); }); });
    connect(command7, &QPushButton::clicked, this,
            [this] { runPortCommand([this] { Command7_Click(); }); });
}

void Form2::runPortCommand(const std::function<void()>& command)
{
    if (m_portGuard) {
        m_portGuard(this, command);
    } else {
        command();
    }
}

void Form2::buildSpecialKeys()
{
    for (int index = 0; index < SpecialKeys::kCount; ++index) {
        auto* key = button("Command8", m_specialKeys);
        key->setText(SpecialKeys::name(index));
        key->setProperty("index", index);
        // The body box keeps the focus, and with it its caret and selection.
        key->setFocusPolicy(Qt::NoFocus);
        const QRect twips = SpecialKeys::buttonRectTwips(index);
        key->setGeometry(twipsToPixels(*this, twips.x(), Qt::Horizontal),
                         twipsToPixels(*this, twips.y(), Qt::Vertical),
                         twipsToPixels(*this, twips.width(), Qt::Horizontal),
                         twipsToPixels(*this, twips.height(), Qt::Vertical));
        connect(key, &QPushButton::clicked, this, [this, index] { Command8_Click(index); });
    }
    const QRect last = SpecialKeys::buttonRectTwips(SpecialKeys::kCount - 1);
    const QRect lastInRow = SpecialKeys::buttonRectTwips(SpecialKeys::kColumns - 1);
    m_specialKeys->setMinimumSize(
        twipsToPixels(*this, lastInRow.right() + SpecialKeys::kLeftTwips, Qt::Horizontal),
        twipsToPixels(*this, last.bottom() + SpecialKeys::kLeftTwips, Qt::Vertical));
}

void Form2::Form_Load()
{
    setValues(m_model.open());
    m_model.applyLanguage(m_language->currentText());
    // Not in the string table: set after the language is applied; the dialog is made anew after
    // OK, so these follow the language.
    m_specialKeys->setTitle(QCoreApplication::translate("Form2", "Special Keys"));
    m_label5->setText(QCoreApplication::translate("Form2", "Baud Rate"));
    if (auto* modem = findChild<QGroupBox*>(QStringLiteral("Modem"))) {
        modem->setTitle(QCoreApplication::translate("Form2", "Modem"));
    }
    m_skipDuplicates->setText(QCoreApplication::translate(
        "Form2", "Do not deliver a reading equal to the last one delivered"));
}

ConfigurationValues Form2::values() const
{
    ConfigurationValues values;
    values.MyFileName = m_myFileName->text();
    values.MyExternalProgram = m_myExternalProgram->text();
    values.mode = selectedMode();
    values.AutoStart = m_autoStart->isChecked();
    values.AutoClear = m_autoClear->isChecked();
    values.policy = m_incrNumber->isChecked()   ? FilePolicy::IncrNumber
                    : m_newFile->isChecked()    ? FilePolicy::NewFile
                    : m_appendFile->isChecked() ? FilePolicy::AppendFile
                                                : FilePolicy::None;
    values.BoxAsciiDataFormat = m_boxAsciiDataFormat->text();
    values.BoxAsciiDataFormat2 = m_boxAsciiDataFormat2->text();
    values.ComPort = m_portList->value();
    values.BaudRate = m_baudRate->currentText();
    values.Language = m_language->currentText();
    values.UseTermId = m_useTermId->isChecked();
    values.SkipDuplicateReadings = m_skipDuplicates->isChecked();
    values.AutoAnswer = m_autoAnswer->isChecked();
    values.KeepInTray = m_keepInTray->isChecked();
    return values;
}

void Form2::setValues(const ConfigurationValues& values)
{
    m_myFileName->setText(values.MyFileName);
    m_myExternalProgram->setText(values.MyExternalProgram);
    selectOption<WorkingMode>({{m_automaticMode, WorkingMode::Automatic},
                               {m_manualMode, WorkingMode::Manual},
                               {m_insertKeys, WorkingMode::InsertKeys}},
                              values.mode);
    showFramesFor(values.mode);
    m_autoStart->setChecked(values.AutoStart);
    m_autoClear->setChecked(values.AutoClear);
    selectOption<FilePolicy>({{m_incrNumber, FilePolicy::IncrNumber},
                              {m_newFile, FilePolicy::NewFile},
                              {m_appendFile, FilePolicy::AppendFile}},
                             values.policy);
    m_boxAsciiDataFormat->setText(values.BoxAsciiDataFormat);
    m_boxAsciiDataFormat2->setText(values.BoxAsciiDataFormat2);
    m_portList->select(values.ComPort);
    showInList(m_baudRate, values.BaudRate);
    showInList(m_language, values.Language);
    m_useTermId->setChecked(values.UseTermId);
    m_skipDuplicates->setChecked(values.SkipDuplicateReadings);
    m_autoAnswer->setChecked(values.AutoAnswer);
    m_keepInTray->setChecked(values.KeepInTray);
}

WorkingMode Form2::selectedMode() const
{
    return m_automaticMode->isChecked() ? WorkingMode::Automatic
           : m_manualMode->isChecked()  ? WorkingMode::Manual
           : m_insertKeys->isChecked()  ? WorkingMode::InsertKeys
                                        : WorkingMode::None;
}

void Form2::showFramesFor(WorkingMode mode)
{
    m_frame2->setVisible(mode == WorkingMode::Automatic);
    m_specialKeys->setVisible(mode == WorkingMode::InsertKeys);
}

void Form2::Command1_Click()
{
    m_myFileName->setText(m_model.browseOutputFile());
}

void Form2::Command4_Click()
{
    m_myExternalProgram->setText(m_model.browseExternalProgram());
}

void Form2::Command2_Click()
{
    if (m_busy || m_discarded) {
        return;
    }
    if (m_model.save(values())) {
        discard();
    }
}

void Form2::Command3_Click()
{
    if (!m_busy) {
        discard();
    }
}

void Form2::reject()
{
    Command3_Click();
}

void Form2::closeEvent(QCloseEvent* event)
{
    // Closing in the middle of a detection would pull the dialog from under it.
    if (m_busy) {
        event->ignore();
        return;
    }
    event->accept();
    discard();
}

void Form2::discard()
{
    if (m_discarded) {
        return;
    }
    m_discarded = true;
    hide();
    emit discarded();
    deleteLater();
}

void Form2::runBusy(const std::function<void()>& work)
{
    if (m_busy || m_discarded) {
        return;
    }
    // Detection lets window events run; no other command of this dialog may start meanwhile.
    m_busy = true;
    setEnabled(false);
    work();
    setEnabled(true);
    m_busy = false;
}

void Form2::Command5_Click()
{
    runBusy([this] {
        const PortDetection::Result result = m_model.detectPort(
            m_comPort->currentText(), m_baudRate->currentText(), [this](const QString& text) {
                m_comPort->setCurrentText(text);
                m_detecting->setText(tr("Trying %1...").arg(text));
                m_detecting->show();
            });
        m_detecting->hide();
        m_comPort->setCurrentText(result.comPortText);
    });
}

void Form2::Command6_Click()
{
    runBusy([this] {
        if (const auto text = m_model.importTemplate(TemplateImport::Kind::Body)) {
            m_boxAsciiDataFormat->setText(*text);
        }
    });
}

void Form2::Command7_Click()
{
    runBusy([this] {
        if (const auto text = m_model.importTemplate(TemplateImport::Kind::Header)) {
            m_boxAsciiDataFormat2->setText(*text);
        }
    });
}

void Form2::Command8_Click(int index)
{
    QLineEdit* box = m_boxAsciiDataFormat;
    const int caret = box->hasSelectedText() ? box->selectionStart() : box->cursorPosition();
    box->setFocus();
    const SpecialKeys::Insertion insertion =
        SpecialKeys::insertAtCaret(box->text(), caret, SpecialKeys::token(index));
    box->setText(insertion.text);
    box->setCursorPosition(insertion.caret);
}
