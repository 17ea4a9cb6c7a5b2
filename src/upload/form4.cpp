#include "form4.h"

#include "config/portlist.h"
#include "i18n/uilanguage.h"
#include "output/readingprogress.h"
#include "programupload.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

constexpr int kRowSelectProgram = 42;
constexpr int kRowInstall = 41;
constexpr int kRowSerialPort = 25;

} // namespace

Form4::Form4(UploadHost& host, ProgramUpload& upload, UiLanguage& language, QWidget* parent)
    : QDialog(parent)
    , m_host(host)
    , m_upload(upload)
    , m_language(language)
    , m_captioner(this)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(m_language.text(kRowSelectProgram));

    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("Notice"));
    m_notice->setWordWrap(true);
    m_notice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_notice->hide();

    m_label2 = new QLabel(m_language.text(kRowSerialPort), this);
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_comPortText = new QComboBox(this);
    m_comPortText->setObjectName(QStringLiteral("ComPortText"));
    m_portList = new PortList(m_comPortText, [this] { return m_upload.portChoices(); });
    m_label2->setBuddy(m_comPortText);
    m_label2->hide();
    m_comPortText->hide();

    m_list1 = new QListWidget(this);
    m_list1->setObjectName(QStringLiteral("List1"));
    m_list1->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list1->setSortingEnabled(false);

    m_check1 = new QCheckBox(QCoreApplication::translate("Form4", "Version <7.8"), this);
    m_check1->setObjectName(QStringLiteral("Check1"));
    m_command1 = new QPushButton(m_language.text(kRowInstall), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setAutoDefault(false);
    m_browse = new QPushButton(tr("Browse..."), this);
    m_browse->setObjectName(QStringLiteral("Browse"));
    m_browse->setAutoDefault(false);
    m_browse->hide();

    m_statusBar1 = new QStatusBar(this);
    m_statusBar1->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar1->setSizeGripEnabled(false);
    m_panel1 = new QLabel(m_statusBar1);
    m_panel1->setObjectName(QStringLiteral("StatusBar1Panel1"));
    m_statusBar1->addWidget(m_panel1, 1);
    m_progress = new QProgressBar(m_statusBar1);
    m_progress->setObjectName(QStringLiteral("UploadProgress"));
    m_progress->setTextVisible(true);
    m_progress->hide();
    m_statusBar1->addWidget(m_progress, 1);

    auto* portRow = new QHBoxLayout;
    portRow->addWidget(m_label2);
    portRow->addWidget(m_comPortText);
    portRow->addStretch(1);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_browse);
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_check1);
    buttonRow->addWidget(m_command1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_notice);
    layout->addLayout(portRow);
    layout->addWidget(m_list1, 1);
    layout->addLayout(buttonRow);
    layout->addWidget(m_statusBar1);
    resize(560, 360);

    connect(m_check1, &QCheckBox::toggled, this, [this] { Check1_Click(); });
    connect(m_command1, &QPushButton::clicked, this,
            [this] { m_host.runPortCommand(this, [this] { Command1_Click(); }); });
    connect(m_browse, &QPushButton::clicked, this, &Form4::browseProgram);
    connect(m_list1, &QListWidget::itemDoubleClicked, this,
            [this] { m_host.runPortCommand(this, [this] { Command1_Click(); }); });

    // The provider outlives a dialog that is gone (a newer one may have replaced it already):
    // it then answers that there is no upload dialog.
    m_language.setWindowProvider(CaptionWindow::Upload,
                                 [self = QPointer<Form4>(this)]() -> CaptionTarget* {
                                     return self ? &self->m_captioner : nullptr;
                                 });
}

Form4::~Form4() = default;

void Form4::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
    }
}

void Form4::Form_Load()
{
    m_list1->clear();
    const ProgramUpload::Listing listing = m_upload.open();
    // Not in the string table: set once open() has applied the stored language.
    m_check1->setText(QCoreApplication::translate("Form4", "Version <7.8"));
    m_browse->setText(tr("Browse..."));
    m_browse->setVisible(listing.browse);
    m_notice->setText(listing.notice);
    m_notice->setVisible(!listing.notice.isEmpty());
    m_list1->addItems(listing.programs);
    setUploadStatus(listing.status);
    if (!m_mainHidden) {
        m_mainHidden = true;
        m_host.setMainWindowVisible(false);
    }
    m_portList->select(listing.comPortText);
}

void Form4::Check1_Click()
{
    const bool ticked = m_check1->isChecked();
    m_comPortText->setVisible(ticked);
    m_label2->setVisible(ticked);
}

void Form4::Command1_Click()
{
    // An upload lets window events run; a second click meanwhile must not start another.
    if (m_installing) {
        return;
    }
    const QList<QListWidgetItem*> selected = m_list1->selectedItems();
    const ProgramInstaller::Choice choice{
        selected.isEmpty() ? QString() : selected.front()->text(),
        m_check1->isChecked(),
        m_portList->value(),
    };
    m_installing = true;
    setControlsEnabled(false);
    const ProgramInstaller::Result result = m_upload.install(choice, *this);
    m_installing = false;
    setControlsEnabled(true);
    if (result == ProgramInstaller::Result::Installed) {
        close();
    }
}

void Form4::browseProgram()
{
    if (m_installing) {
        return;
    }
    const std::optional<QString> program = m_upload.browse();
    if (!program) {
        return;
    }
    const QList<QListWidgetItem*> listed = m_list1->findItems(*program, Qt::MatchExactly);
    QListWidgetItem* item = listed.isEmpty() ? nullptr : listed.front();
    if (item == nullptr) {
        m_list1->addItem(*program);
        item = m_list1->item(m_list1->count() - 1);
    }
    m_list1->setCurrentItem(item);
    item->setSelected(true);
    m_list1->scrollToItem(item);
}

void Form4::Form_Unload()
{
    if (m_mainHidden) {
        m_mainHidden = false;
        m_host.setMainWindowVisible(true);
    }
}

void Form4::done(int result)
{
    // Closing in the middle of an upload would pull the port from under it.
    if (m_installing) {
        return;
    }
    m_loaded = false;
    Form_Unload();
    QDialog::done(result);
}

void Form4::setUploadStatus(const QString& text)
{
    m_panel1->setText(text);
    if (text.isEmpty()) {
        m_progress->hide();
    }
}

void Form4::setUploadProgress(qint64 sent, qint64 total, int attempt)
{
    // The bar counts in bytes up to the largest image taken, well within its int range.
    m_progress->setRange(0, static_cast<int>(total));
    m_progress->setValue(static_cast<int>(sent));
    const int language = m_language.languageIndex();
    m_progress->setFormat(
        tr("Attempt %1: %2 of %3 bytes")
            .arg(QString::number(attempt), countText(language, sent), countText(language, total)));
    m_progress->show();
}

void Form4::setControlsEnabled(bool enabled)
{
    m_list1->setEnabled(enabled);
    m_check1->setEnabled(enabled);
    m_comPortText->setEnabled(enabled);
    m_command1->setEnabled(enabled);
    m_browse->setEnabled(enabled);
}
