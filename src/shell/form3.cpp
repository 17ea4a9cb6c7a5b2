#include "form3.h"

#include "common/appidentity.h"

#include <QCoreApplication>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kLogoSize = 64;

/// The program's mark, drawn rather than shipped as a file: a rounded tile with the initial.
QPixmap logo()
{
    QPixmap pixmap(kLogoSize, kLogoSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1f, 0x5f, 0x7a));
    painter.drawRoundedRect(QRectF(2, 2, kLogoSize - 4, kLogoSize - 4), 12, 12);
    QFont font;
    font.setBold(true);
    font.setPixelSize(kLogoSize / 2);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("K"));
    return pixmap;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

Form3::Form3(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form3"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(AppIdentity::productName());

    m_image1 = new QLabel(this);
    m_image1->setObjectName(QStringLiteral("Image1"));
    m_image1->setPixmap(logo());
    m_label1 = makeLabel(this, "Label1", webAddress());
    m_label2 = makeLabel(this, "Label2", AppIdentity::mainWindowCaption());
    m_label3 = makeLabel(this, "Label3",
                         QCoreApplication::translate(
                             "Form3", "The PC companion of the Qel data-collection terminals"));
    m_label4 = makeLabel(this, "Label4", mailAddress());
    m_command1 = new QPushButton(QStringLiteral("OK"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setDefault(true);
    connect(m_command1, &QPushButton::clicked, this, &Form3::Command1_Click);

    auto* texts = new QVBoxLayout;
    texts->addWidget(m_label2);
    texts->addWidget(m_label3);
    texts->addWidget(m_label1);
    texts->addWidget(m_label4);
    auto* top = new QHBoxLayout;
    top->addWidget(m_image1, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_command1, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString Form3::webAddress()
{
    return QStringLiteral("https://kolbrin.example.org");
}

QString Form3::mailAddress()
{
    return QStringLiteral("support@kolbrin.example.org");
}

void Form3::Command1_Click()
{
    close();
}

Form3* Form3::showAboutBox(QPointer<Form3>& box, QWidget* parent)
{
    if (box.isNull()) {
        box = new Form3(parent);
    }
    box->show();
    box->raise();
    box->activateWindow();
    return box.data();
}
