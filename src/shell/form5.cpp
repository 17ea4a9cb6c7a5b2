#include "form5.h"

#include "common/eventpump.h"

#include <QCoreApplication>
#include <QFont>
#include <QLabel>
#include <QVBoxLayout>

namespace {
constexpr int kWaitFontPoints = 24;
} // namespace

Form5::Form5(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Qel"));
    // Nothing to cancel: the window goes away by itself when the work is done.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    m_label1 = new QLabel(QCoreApplication::translate("Form5", "Please wait..."), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    QFont big(QStringLiteral("Sans Serif"), kWaitFontPoints, QFont::Normal);
    big.setStyleHint(QFont::SansSerif);
    m_label1->setFont(big);
    m_label2 = new QLabel(this);
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_label2->setMinimumWidth(m_label1->sizeHint().width());

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label1, 0, Qt::AlignCenter);
    layout->addWidget(m_label2);
}

void Form5::setSearchText(const QString& text)
{
    m_label2->setText(text);
}

QString Form5::searchText() const
{
    return m_label2->text();
}

void Form5::runInstallation(LibraryInstaller& installer, EventPump& events, QWidget* parent)
{
    Form5 window(parent);
    window.show();
    events.processEvents();
    installer.setProgress(&window);
    installer.installCommLibrary();
    installer.setProgress(nullptr);
    window.close();
}
