#include "portlist.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>

PortList::PortList(QComboBox* box, Choices choices)
    : QObject(box)
    , m_box(box)
    , m_choices(std::move(choices))
    , m_timer(new QTimer(this))
{
    for (const PortChoice& choice : m_choices()) {
        m_box->addItem(choice.label, choice.value);
    }
    // Completing "Com1" as typed into its label would store the label.
    if (m_box->isEditable()) {
        m_box->setCompleter(nullptr);
    }
    // The list shows labels; the box keeps the value, which is what OK stores.
    connect(m_box, &QComboBox::activated, this, [this](int index) {
        if (m_box->isEditable()) {
            m_box->setEditText(m_box->itemData(index).toString());
        }
    });
    m_timer->setInterval(kRefreshMs);
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (m_box->isVisible() && !m_box->view()->isVisible()) {
            refresh();
        }
    });
    m_timer->start();
}

void PortList::select(const QString& value)
{
    int index = m_box->findData(value, Qt::UserRole, Qt::MatchFixedString);
    if (m_box->isEditable()) {
        if (index >= 0) {
            m_box->setCurrentIndex(index);
        }
        m_box->setEditText(value);
        return;
    }
    if (index < 0) {
        m_box->addItem(value, value);
        index = m_box->count() - 1;
    }
    m_box->setCurrentIndex(index);
}

QString PortList::value() const
{
    if (m_box->isEditable()) {
        const QString text = m_box->currentText();
        const int index = m_box->findText(text, Qt::MatchExactly);
        return index >= 0 ? m_box->itemData(index).toString() : text;
    }
    const QString data = m_box->currentData().toString();
    return data.isEmpty() ? m_box->currentText() : data;
}

void PortList::refresh()
{
    const QList<PortChoice> choices = m_choices();
    // Changing the current entry's text rewrites an editable box's text: it is put back.
    const QString typed = m_box->isEditable() ? m_box->currentText() : QString();
    const int caret = m_box->isEditable() ? m_box->lineEdit()->cursorPosition() : 0;
    bool rewritten = false;
    for (const PortChoice& choice : choices) {
        const int index = m_box->findData(choice.value, Qt::UserRole, Qt::MatchFixedString);
        if (index >= 0 && m_box->itemText(index) != choice.label) {
            m_box->setItemText(index, choice.label);
            rewritten = rewritten || index == m_box->currentIndex();
        }
    }
    if (rewritten && m_box->isEditable()) {
        m_box->setEditText(typed);
        m_box->lineEdit()->setCursorPosition(caret);
    }
}
