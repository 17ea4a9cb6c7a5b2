#include "form1.h"

#include "common/appidentity.h"
#include "config/configloader.h"
#include "i18n/uilanguage.h"

#include <QFontDatabase>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>

namespace {
constexpr int kPollIntervalMs = 500;
constexpr double kDocumentFontPoints = 9.75;
} // namespace

Form1::Form1(UiLanguage& language, ConfigLoader& config, Settings& settings, QWidget* parent)
    : QMainWindow(parent)
    , m_language(language)
    , m_config(config)
    , m_settings(settings)
    , m_captioner(this)
{
    setObjectName(QStringLiteral("Form1"));

    m_text1 = new QTextEdit(this);
    m_text1->setObjectName(QStringLiteral("Text1"));
    // Courier where the machine has it, otherwise the system's fixed-width font, so that
    // fixed-width columns line up.
    QFont font(QStringLiteral("Courier"));
    font.setStyleHint(QFont::TypeWriter);
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    }
    font.setPointSizeF(kDocumentFontPoints);
    m_text1->setFont(font);
    setCentralWidget(m_text1);

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

    createMenus();
    m_language.setWindowProvider(CaptionWindow::Main, [this] { return &m_captioner; });
}

QLabel* Form1::statusPanel(int panel) const { return panel == 1 ? m_panel1 : m_panel2; }

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
    addItem(file, "NewFile");
    addItem(file, "Load");
    addItem(file, "SaveAs");
    addItem(file, "Print_");
    connect(addItem(file, "Exit"), &QAction::triggered, this, &QWidget::close);

    QMenu* configurations = addMenu("Configurations");
    addItem(configurations, "GeneralConf")->setEnabled(false);

    QMenu* communicate = addMenu("Communicate");
    addItem(communicate, "Read_entries");
    addItem(communicate, "Clear_all_entries");
    addItem(communicate, "SendEntries");
    addItem(communicate, "ClearEntries");
    addItem(communicate, "SendProgram2");

    QMenu* help = addMenu("Help");
    addItem(help, "Aboutus");
}

void Form1::Form_Load()
{
    setWindowTitle(AppIdentity::mainWindowCaption());
    m_config.ReadConf(m_settings);
}
