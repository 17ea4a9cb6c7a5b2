#include "form1.h"

#include "common/appidentity.h"
#include "common/documentview.h"
#include "common/linebreaks.h"
#include "programcore.h"

#include <QCloseEvent>
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

/// The main window's text view as the logic sees it.
class TextEditView : public DocumentView
{
public:
    explicit TextEditView(QTextEdit* edit) : m_edit(edit) {}
    [[nodiscard]] QString text() const override { return m_edit->toPlainText(); }
    void setText(const QString& text) override { m_edit->setPlainText(normaliseLineBreaks(text)); }
    [[nodiscard]] QString selectedText() const override
    {
        QString selection = m_edit->textCursor().selectedText();
        selection.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
        return selection;
    }

private:
    QTextEdit* m_edit;
};

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
    : QMainWindow(parent), m_services(services), m_captioner(this)
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

    m_view = std::make_unique<TextEditView>(m_text1);
    m_core = std::make_unique<ProgramCore>(ProgramPlatform{
        services.store, services.dialogs, services.library, *this, *m_view, services.pump,
        services.keys, services.locale});
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
    addItem(file, "NewFile");
    addItem(file, "Load");
    addItem(file, "SaveAs");
    addItem(file, "Print_");
    connect(addItem(file, "Exit"), &QAction::triggered, this, &QWidget::close);

    QMenu* configurations = addMenu("Configurations");
    addItem(configurations, "GeneralConf")->setEnabled(false);

    QMenu* communicate = addMenu("Communicate");
    connect(addItem(communicate, "Read_entries"), &QAction::triggered, this,
            [this] { m_core->retrieval.ReadTerminalData(); });
    connect(addItem(communicate, "Clear_all_entries"), &QAction::triggered, this,
            [this] { m_core->clearing.Clear_all_entries_Click(); });
    addItem(communicate, "SendEntries")->setEnabled(false);
    connect(addItem(communicate, "ClearEntries"), &QAction::triggered, this,
            [this] { m_core->clearing.ClearEntries_Click(); });
    addItem(communicate, "SendProgram2");

    QMenu* help = addMenu("Help");
    addItem(help, "Aboutus");
}

void Form1::Form_Load()
{
    setWindowTitle(AppIdentity::mainWindowCaption());
    m_core->config.ReadConf(m_core->state.settings);
    if (m_core->state.settings.AutoAnswer) {
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
}

void Form1::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

int Form1::twipsToPixels(int twips, Qt::Orientation orientation) const
{
    const QScreen* where = screen();
    const double dpi = where == nullptr ? 96.0
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

QString Form1::statusText(int panel) const { return (panel == 1 ? m_panel1 : m_panel2)->text(); }

void Form1::setTimerEnabled(bool enabled)
{
    if (enabled) {
        m_timer1->start();
    } else {
        m_timer1->stop();
    }
}

bool Form1::timerEnabled() const { return m_timer1->isActive(); }

bool Form1::isMinimised() const { return isMinimized(); }

void Form1::setMainWindowVisible(bool visible) { setVisible(visible); }
