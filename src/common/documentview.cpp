#include "documentview.h"

#include "linebreaks.h"

void MemoryDocumentView::setText(const QString& text)
{
    m_text = normaliseLineBreaks(text);
}
