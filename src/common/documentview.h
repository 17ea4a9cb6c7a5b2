#pragma once

#include <QString>

/// The one buffer of read data: the main window's text view. Its text keeps one kind of line
/// break ('\n'): whatever is set is normalised (see normaliseLineBreaks).
class DocumentView
{
public:
    virtual ~DocumentView() = default;
    [[nodiscard]] virtual QString text() const = 0;
    virtual void setText(const QString& text) = 0;
    /// The selected text; empty when nothing is selected.
    [[nodiscard]] virtual QString selectedText() const = 0;
};

/// A document view held in memory (tests, and work done before a window exists).
class MemoryDocumentView : public DocumentView
{
public:
    [[nodiscard]] QString text() const override { return m_text; }
    void setText(const QString& text) override;
    [[nodiscard]] QString selectedText() const override { return m_selection; }
    void setSelectedText(const QString& selection) { m_selection = selection; }

private:
    QString m_text;
    QString m_selection;
};
