#pragma once

#include "richdocumentview.h"

#include <QPointer>

class QTextEdit;

/// The document view on a QTextEdit (the main window's Text1). Plain text set through it keeps
/// one kind of line break; a selection spanning paragraphs reads with '\n' between them.
class QTextEditDocumentView : public RichDocumentView
{
public:
    explicit QTextEditDocumentView(QTextEdit* edit);

    [[nodiscard]] QString text() const override;
    void setText(const QString& text) override;
    [[nodiscard]] QString selectedText() const override;
    void setRichText(const QString& html) override;

private:
    QPointer<QTextEdit> m_edit;
};
