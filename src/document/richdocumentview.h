#pragma once

#include "common/documentview.h"

/// The document view as the document commands need it: besides plain text it can show a loaded
/// rich-text file with its formatting.
class RichDocumentView : public DocumentView
{
public:
    /// Replaces the whole content with formatted text, given as HTML.
    virtual void setRichText(const QString& html) = 0;
};
