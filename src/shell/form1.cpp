#include "form1.h"

#include "common/appidentity.h"
#include "common/twips.h"
#include "config/form2.h"
#include "config/form2host.h"
#include "document/qtexteditdocumentview.h"
#include "form3.h"
#include "form5.h"
#include "install/libraryinstaller.h"
#include "link/commlibrary.h"
#include "programcore.h"
#include "qttextprinter.h"
#include "readinghistory.h"
#include "readinghistorywindow.h"
#include "trayicon.h"
#include "upload/form4.h"
#include "windowdecoration.h"
#include "windowplacement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>

namespace {

constexpr int kPollIntervalMs = 500;
constexpr double kDocumentFontPoints = 9.75;
constexpr QSize kInitialSize(820, 560);
constexpr int kDisableDelayMs = 250;
/// A command put off while a call is in flight asks again this often, this many times.
constexpr int kRetryMs = 20;
constexpr int kRetries = 50;

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

Form1::Form1(const ProgramPlatform& platform, QWidget* parent)
    : QMainWindow(parent)
    , m_captioner(this)
    , m_library(platform.library)
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
    m_stop = new QPushButton(tr("Stop"), this);
    m_stop->setObjectName(QStringLiteral("StopReading"));
    m_stop->setToolTip(tr("Stop the reading before the next document (Esc); the terminal keeps "
                          "its data"));
    m_stop->hide();
    statusBar()->addWidget(m_stop);
    statusBar()->addWidget(m_panel2, 1);
    connect(m_stop, &QPushButton::clicked, this, &Form1::stopReading);
    m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_escape->setEnabled(false);
    connect(m_escape, &QShortcut::activated, this, &Form1::stopReading);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(kPollIntervalMs);

    m_view = std::make_unique<QTextEditDocumentView>(m_text1);
    m_printer = std::make_unique<QtTextPrinter>(m_text1->font());
    m_core = std::make_unique<ProgramCore>(platform, MainWindowParts{*this, *m_view, *m_printer});
    m_form2 = std::make_unique<Form2Host>(m_core->configuration, m_core->language, this);
    m_readingHistory =
        std::make_unique<ReadingHistory>(m_core->journal, m_core->readingDelivery, *m_view);
    connect(m_timer1, &QTimer::timeout, this,
            [this] { runWork([this] { m_core->cycle.tick(); }); });

    m_disableDelay = new QTimer(this);
    m_disableDelay->setSingleShot(true);
    m_disableDelay->setInterval(kDisableDelayMs);
    connect(m_disableDelay, &QTimer::timeout, this, &Form1::updatePortCommands);
    m_library.setCallObserver([this](bool inFlight) { onLinkActivity(inFlight); });
    m_form2->setPortGuard([this](QObject* context, const std::function<void()>& command) {
        runPortCommand(context, command);
    });

    createMenus();
    WindowDecoration::applyToApplication();
    resize(kInitialSize);
    if (platform.windowStore != nullptr) {
        m_placement = std::make_unique<WindowPlacement>(*platform.windowStore);
        m_placement->restore(*this);
    }
    if (TrayIcon::useful()) {
        const auto showWindow = [this] { bringToFront(); };
        m_tray = new TrayIcon(
            m_core->state, {showWindow, [this] { m_core->readData(); }, [this] { exitProgram(); }},
            this);
        m_tray->follow(*m_core);
    }
    m_core->language.setWindowProvider(CaptionWindow::Main, [this] {
        captionReadingHistory();
        return &m_captioner;
    });
}

Form1::~Form1()
{
    m_library.setCallObserver({});
    // The history window is a child, which Qt would delete after the logic it refers to.
    delete m_history;
}

QMenu* Form1::addMenu(const char* name)
{
    QMenu* menu = menuBar()->addMenu(QString::fromLatin1(name));
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

QAction* Form1::addItem(QMenu* menu, const char* name, const QKeySequence& shortcut)
{
    QAction* action = menu->addAction(QString::fromLatin1(name));
    action->setObjectName(QString::fromLatin1(name));
    // The menu shows the key beside the entry.
    action->setShortcut(shortcut);
    return action;
}

void Form1::createMenus()
{
    QMenu* file = addMenu("File");
    // The New File entry is shown but carries no command.
    addItem(file, "NewFile");
    connect(addItem(file, "Load", QKeySequence(Qt::CTRL | Qt::Key_O)), &QAction::triggered, this,
            [this] { m_core->documents.load(); });
    connect(addItem(file, "SaveAs", QKeySequence(Qt::CTRL | Qt::Key_S)), &QAction::triggered, this,
            [this] { m_core->documents.saveAs(); });
    connect(addItem(file, "Print_", QKeySequence(Qt::CTRL | Qt::Key_P)), &QAction::triggered, this,
            [this] { m_core->documents.print(); });
    connect(addItem(file, "Exit", QKeySequence(Qt::CTRL | Qt::Key_Q)), &QAction::triggered, this,
            &Form1::exitProgram);

    QMenu* configurations = addMenu("Configurations");
    connect(addItem(configurations, "GeneralConf", QKeySequence(Qt::CTRL | Qt::Key_Comma)),
            &QAction::triggered, this, [this] {
                m_form2->showGeneralConf();
                enablePortButtons(m_form2->form(), m_portCommandsEnabled);
            });

    QMenu* communicate = addMenu("Communicate");
    const auto addPortItem = [this, communicate](const char* name,
                                                 const std::function<void()>& command,
                                                 const QKeySequence& shortcut = {}) {
        QAction* action = addItem(communicate, name, shortcut);
        m_portActions.append(action);
        connect(action, &QAction::triggered, this,
                [this, command] { runPortCommand(this, [this, command] { runWork(command); }); });
    };
    addPortItem(
        "Read_entries", [this] { m_core->readData(); }, QKeySequence(Qt::Key_F5));
    addPortItem("Clear_all_entries", [this] { m_core->clearing.clearAll(); });
    addPortItem("SendEntries", [this] { m_core->lists.sendList(); });
    addPortItem("ClearEntries", [this] { m_core->clearing.clearList(); });
    addPortItem("SendProgram2", [this] { showUploadDialog(); });
    m_readingHistoryAction = addItem(communicate, "ReadingHistory");
    connect(m_readingHistoryAction, &QAction::triggered, this, &Form1::showReadingHistory);
    captionReadingHistory();

    QMenu* help = addMenu("Help");
    connect(addItem(help, "Aboutus", QKeySequence(Qt::Key_F1)), &QAction::triggered, this,
            [this] { Form3::showAboutBox(m_form3, this); });
}

void Form1::Form_Load()
{
    setWindowTitle(AppIdentity::mainWindowCaption());
    const ProgramCore::Start start = m_core->start([this](LibraryInstaller& installer) {
        Form5::runInstallation(installer, m_core->pump(), this);
    });
    if (start == ProgramCore::Start::UploadNeeded) {
        showUploadDialog();
    }
}

void Form1::Form_Unload()
{
    if (m_unloaded) {
        return;
    }
    m_unloaded = true;
    if (m_placement) {
        m_placement->save(*this);
    }
    m_core->shutdown();
    if (Form2* form2 = m_form2->form()) {
        form2->close();
    }
    if (m_form3 != nullptr) {
        m_form3->close();
    }
    if (m_form4 != nullptr) {
        m_form4->close();
    }
    if (m_history != nullptr) {
        m_history->close();
    }
}

void Form1::showUploadDialog()
{
    if (m_form4 == nullptr) {
        m_form4 = new Form4(*this, m_core->upload, m_core->language);
        m_form4->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_form4->show();
    m_form4->raise();
}

void Form1::showReadingHistory()
{
    if (m_history == nullptr) {
        m_history = new ReadingHistoryWindow(*m_readingHistory, this);
    }
    m_history->show();
    m_history->raise();
    m_history->activateWindow();
}

ReadingHistoryWindow* Form1::readingHistoryWindow() const
{
    return m_history;
}

void Form1::captionReadingHistory()
{
    const int language = m_core->language.languageIndex();
    if (language == m_historyLanguage) {
        return;
    }
    m_historyLanguage = language;
    m_readingHistoryAction->setText(ReadingHistory::menuCaption(language));
    if (m_history != nullptr) {
        m_history->applyCaptions();
    }
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (m_tray != nullptr && TrayIcon::available() && m_core->state.settings.KeepInTray &&
        !m_exiting) {
        // The program runs on in the tray; windows closed meanwhile must not end it.
        QApplication::setQuitOnLastWindowClosed(false);
        m_inTray = true;
        hide();
        event->ignore();
        return;
    }
    QApplication::setQuitOnLastWindowClosed(true);
    // Exit during a reading stops it before its next document; the call in flight finishes
    // (the library cannot be interrupted mid-call) and the reading ends as interrupted, so
    // nothing is delivered or cleared. The window closes, and the port with it, once that
    // work has left the stack.
    if (m_workDepth > 0 || linkBusy()) {
        m_exitPending = true;
        m_core->retrieval.requestStop();
        m_stop->setEnabled(false);
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
    // Exit from the tray: the hidden window's close does not count as the last one closed.
    if (m_inTray) {
        QCoreApplication::quit();
    }
}

void Form1::exitProgram()
{
    m_exiting = true;
    close();
}

bool Form1::linkBusy() const
{
    return m_library.callInFlight() || m_core->retrieval.reading();
}

void Form1::onLinkActivity(bool inFlight)
{
    if (inFlight) {
        if (m_portCommandsEnabled && !m_disableDelay->isActive()) {
            m_disableDelay->start();
        }
        return;
    }
    m_disableDelay->stop();
    // Later, not now: the next call of the same work usually starts before events run again,
    // and the commands then stay as they are instead of flickering.
    QTimer::singleShot(0, this, &Form1::updatePortCommands);
}

void Form1::updatePortCommands()
{
    setPortCommandsEnabled(!linkBusy());
    closeIfExitPending();
}

void Form1::setPortCommandsEnabled(bool enabled)
{
    if (enabled == m_portCommandsEnabled) {
        return;
    }
    m_portCommandsEnabled = enabled;
    for (QAction* action : std::as_const(m_portActions)) {
        action->setEnabled(enabled);
    }
    enablePortButtons(m_form2->form(), enabled);
}

void Form1::enablePortButtons(Form2* form2, bool enabled)
{
    // The configuration dialog's own port commands: OK, detection and the template imports.
    // (The upload dialog is open only while this window is hidden, and greys Install itself
    // while it installs.)
    if (form2 == nullptr) {
        return;
    }
    for (const char* name : {"Command2", "Command5", "Command6", "Command7"}) {
        if (auto* button = form2->findChild<QPushButton*>(QLatin1String(name))) {
            button->setEnabled(enabled);
        }
    }
}

void Form1::runPortCommand(QObject* context, const std::function<void()>& command)
{
    tryPortCommand(QPointer<QObject>(context), command, kRetries);
}

void Form1::tryPortCommand(const QPointer<QObject>& context, const std::function<void()>& command,
                           int retriesLeft)
{
    if (context == nullptr || m_exitPending) {
        return;
    }
    if (!linkBusy()) {
        command();
        return;
    }
    // A reading holds the link for long: its commands are disabled, not queued.
    if (m_core->retrieval.reading() || retriesLeft <= 0) {
        return;
    }
    QTimer::singleShot(kRetryMs, this, [this, context, command, retriesLeft] {
        tryPortCommand(context, command, retriesLeft - 1);
    });
}

void Form1::runWork(const std::function<void()>& work)
{
    ++m_workDepth;
    work();
    --m_workDepth;
    closeIfExitPending();
}

void Form1::closeIfExitPending()
{
    if (m_exitPending && m_workDepth == 0 && !linkBusy()) {
        m_exitPending = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void Form1::stopReading()
{
    // Only a reading under way: a stop asked for in between would hold for the next one.
    if (m_core->retrieval.reading()) {
        m_core->retrieval.requestStop();
        m_stop->setEnabled(false);
    }
}

void Form1::showReadingProgress(const QString& text)
{
    setStatusText(1, text);
    if (m_stop->isHidden()) {
        m_stop->setEnabled(!m_exitPending);
        m_stop->show();
        m_escape->setEnabled(true);
    }
}

void Form1::endReadingProgress()
{
    m_stop->hide();
    m_escape->setEnabled(false);
}

void Form1::Form_Resize()
{
    // A window made smaller than the margins gives the view no room, not an error.
    const QRect outer = frameGeometry();
    const int width = outer.width() - twipsToPixels(*this, kWidthMarginTwips, Qt::Horizontal);
    const int height = outer.height() - twipsToPixels(*this, kHeightMarginTwips, Qt::Vertical);
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

void Form1::bringToFront()
{
    m_inTray = false;
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

bool Form1::isMinimised() const
{
    // Hidden in the tray counts as minimised: out of the user's way, so keyboard mode reads.
    return isMinimized() || m_inTray;
}

void Form1::setMainWindowVisible(bool visible)
{
    setVisible(visible);
}
