#include "qtexteditdocumentview.h"

#include "common/linebreaks.h"

#include <QTextCursor>
#include <QTextEdit>

QTextEditDocumentView::QTextEditDocumentView(QTextEdit* edit)
    : m_edit(edit)
{
}

QString QTextEditDocumentView::text() const
{
    return m_edit ? m_edit->toPlainText() : QString();
}

void QTextEditDocumentView::setText(const QString& text)
{
    if (m_edit) {
        m_edit->setPlainText(normaliseLineBreaks(text));
    }
}

QString QTextEditDocumentView::selectedText() const
{
    if (!m_edit) {
        return {};
    }
    // The cursor marks paragraph ends and line breaks inside a paragraph with their own
    // separators, not with '\n'.
    QString text = m_edit->textCursor().selectedText();
    text.replace(QChar(QChar::ParagraphSeparator), QLatin1Char('\n'));
    text.replace(QChar(QChar::LineSeparator), QLatin1Char('\n'));
    return text;
}

void QTextEditDocumentView::setRichText(const QString& html)
{
    if (m_edit) {
        m_edit->setHtml(html);
    }
}
