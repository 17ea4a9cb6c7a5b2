#include "form1.h"

#include "common/appidentity.h"
#include "config/form2.h"
#include "config/form2host.h"
#include "documentcommands.h"
#include "form3.h"
#include "form5.h"
#include "install/libraryinstaller.h"
#include "lists/listsender.h"
#include "programcore.h"
#include "qtexteditdocumentview.h"
#include "qttextprinter.h"
#include "upload/form4.h"
#include "upload/programcatalogue.h"

#include <QCloseEvent>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>

namespace {

constexpr int kPollIntervalMs = 500;
constexpr double kDocumentFontPoints = 9.75;
constexpr int kTwipsPerInch = 1440;
constexpr QSize kInitialSize(820, 560);

QFont documentFont()
{
    // Courier where the machine has it, otherwise the system's fixed-width font, so that
    // fixed-width columns line up.
    QFont font(QStringLiteral("Courier"));
    font.setStyleHint(QFont::TypeWriter);
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    }
    font.setPointSizeF(kDocumentFontPoints);
    return font;
}

} // namespace

Form1::Form1(const ProgramServices& services, QWidget* parent)
    : QMainWindow(parent)
    , m_services(services)
    , m_captioner(this)
{
    setObjectName(QStringLiteral("Form1"));

    // The view is placed by the resize rule, not by a layout.
    auto* central = new QWidget(this);
    setCentralWidget(central);
    m_text1 = new QTextEdit(central);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setFont(documentFont());
    m_text1->setAcceptRichText(true);

    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    m_panel1 = new QLabel(this);
    m_panel1->setObjectName(QStringLiteral("StatusBar1Panel1"));
    m_panel2 = new QLabel(this);
    m_panel2->setObjectName(QStringLiteral("StatusBar1Panel2"));
    statusBar()->addWidget(m_panel1, 1);
    statusBar()->addWidget(m_panel2, 1);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(kPollIntervalMs);

    m_view = std::make_unique<QTextEditDocumentView>(m_text1);
    m_core = std::make_unique<ProgramCore>(
        ProgramPlatform{services.store, services.dialogs, services.library, *this, *m_view,
                        services.pump, services.keys, services.locale});
    m_form2 = std::make_unique<Form2Host>(
        ConfigurationContext{services.store, services.dialogs, services.library, services.pump,
                             m_core->state, m_core->language, m_core->config, m_core->session,
                             m_core->modem},
        this);
    m_printer = std::make_unique<QtTextPrinter>(m_text1->font());
    m_documentCommands = std::make_unique<DocumentCommands>(
        *m_view, *this, services.dialogs, *m_printer, m_core->state.settings, m_fileDialogState);
    m_listSender =
        std::make_unique<ListSender>(services.library, m_core->state, services.dialogs, *m_view,
                                     *this, m_fileDialogState, m_core->language);
    connect(m_timer1, &QTimer::timeout, this, [this] { m_core->cycle.AcquisitionTick(); });

    createMenus();
    resize(kInitialSize);
    m_core->language.setWindowProvider(CaptionWindow::Main, [this] { return &m_captioner; });
}

Form1::~Form1() = default;

QMenu* Form1::addMenu(const char* name)
{
    QMenu* menu = menuBar()->addMenu(QString::fromLatin1(name));
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

QAction* Form1::addItem(QMenu* menu, const char* name)
{
    QAction* action = menu->addAction(QString::fromLatin1(name));
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

void Form1::createMenus()
{
    QMenu* file = addMenu("File");
    connect(addItem(file, "NewFile"), &QAction::triggered, this,
            [this] { m_documentCommands->NewFile_Click(); });
    connect(addItem(file, "Load"), &QAction::triggered, this,
            [this] { m_documentCommands->Load_Click(); });
    connect(addItem(file, "SaveAs"), &QAction::triggered, this,
            [this] { m_documentCommands->SaveAs_Click(); });
    connect(addItem(file, "Print_"), &QAction::triggered, this,
            [this] { m_documentCommands->Print__Click(); });
    connect(addItem(file, "Exit"), &QAction::triggered, this, &QWidget::close);

    QMenu* configurations = addMenu("Configurations");
    connect(addItem(configurations, "GeneralConf"), &QAction::triggered, this,
            [this] { m_form2->showGeneralConf(); });

    QMenu* communicate = addMenu("Communicate");
    connect(addItem(communicate, "Read_entries"), &QAction::triggered, this,
            [this] { m_core->retrieval.ReadTerminalData(); });
    connect(addItem(communicate, "Clear_all_entries"), &QAction::triggered, this,
            [this] { m_core->clearing.Clear_all_entries_Click(); });
    connect(addItem(communicate, "SendEntries"), &QAction::triggered, this,
            [this] { m_listSender->SendEntries_Click(); });
    connect(addItem(communicate, "ClearEntries"), &QAction::triggered, this,
            [this] { m_core->clearing.ClearEntries_Click(); });
    connect(addItem(communicate, "SendProgram2"), &QAction::triggered, this,
            &Form1::showUploadDialog);

    QMenu* help = addMenu("Help");
    connect(addItem(help, "Aboutus"), &QAction::triggered, this,
            [this] { Form3::showAboutBox(m_form3, this); });
}

void Form1::Form_Load()
{
    setWindowTitle(AppIdentity::mainWindowCaption());
    m_core->config.ReadConf(m_core->state.settings);
    // A fresh copy of the communication library beside the program is installed before the
    // first call into it.
    LibraryInstaller installer(m_services.dialogs, m_services.pump,
                               InstallLocations::forThisMachine());
    Form5::runInstallation(installer, m_services.pump, this);
    // Without an installed terminal program the user installs one first; the port stays shut.
    if (!QDir(offlineProgramFolder()).exists()) {
        showUploadDialog();
    } else if (m_core->state.settings.AutoAnswer) {
        m_core->modem.WaitPhoneCall();
    } else {
        m_core->session.receivingdata_ini();
    }
    // The first tick comes after loading, so this is in place before the first library call.
    m_core->state.TerminalId = QByteArray(8, ' ');
}

void Form1::Form_Unload()
{
    if (m_unloaded) {
        return;
    }
    m_unloaded = true;
    if (m_core->state.settings.AutoAnswer) {
        m_core->modem.restoreAtClose();
    } else {
        m_core->session.receivingdata_end();
    }
    if (Form2* form2 = m_form2->form()) {
        form2->close();
    }
    if (m_form3 != nullptr) {
        m_form3->close();
    }
    if (m_form4 != nullptr) {
        m_form4->close();
    }
}

void Form1::showUploadDialog()
{
    if (m_form4 == nullptr) {
        m_form4 = new Form4(*this, UploadContext{m_services.library,
                                                 m_core->state,
                                                 m_core->session,
                                                 m_services.store,
                                                 m_services.pump,
                                                 m_services.dialogs,
                                                 m_core->language,
                                                 {},
                                                 {},
                                                 {}});
        m_form4->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_form4->show();
    m_form4->raise();
}

void Form1::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

int Form1::twipsToPixels(int twips, Qt::Orientation orientation) const
{
    const QScreen* where = screen();
    const double dpi = where == nullptr                ? 96.0
                       : orientation == Qt::Horizontal ? where->logicalDotsPerInchX()
                                                       : where->logicalDotsPerInchY();
    return static_cast<int>(twips * dpi / kTwipsPerInch + 0.5);
}

void Form1::Form_Resize()
{
    // A window made smaller than the margins gives the view no room, not an error.
    const QRect outer = frameGeometry();
    const int width = outer.width() - twipsToPixels(kWidthMarginTwips, Qt::Horizontal);
    const int height = outer.height() - twipsToPixels(kHeightMarginTwips, Qt::Vertical);
    m_text1->setGeometry(0, 0, std::max(0, width), std::max(0, height));
}

void Form1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void Form1::setStatusText(int panel, const QString& text)
{
    (panel == 1 ? m_panel1 : m_panel2)->setText(text);
}

QString Form1::statusText(int panel) const
{
    return (panel == 1 ? m_panel1 : m_panel2)->text();
}

void Form1::setTimerEnabled(bool enabled)
{
    if (enabled) {
        m_timer1->start();
    } else {
        m_timer1->stop();
    }
}

bool Form1::timerEnabled() const
{
    return m_timer1->isActive();
}

bool Form1::isMinimised() const
{
    return isMinimized();
}

void Form1::setMainWindowVisible(bool visible)
{
    setVisible(visible);
}
