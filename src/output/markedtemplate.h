#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

/// A template as keyboard mode hands it to the library, so that the values of the terminal are
/// typed as they are and only the template's own text is keystroke notation.
///
/// The library lays a record out by replacing each field group ("[Name]", or "[Name][XXXX]"
/// with its width) by the field's value, and copies every other character of the template.
/// Keyboard mode wraps each field group in two marker characters, so that the library's text
/// shows where each value starts and ends; notation() then writes every value in the notation's
/// own escapes ("{%}") and drops the markers. It needs nothing from the library but that it
/// copies the characters outside groups: the markers are plain text to it.
///
/// The markers are SO (0x0E) and SI (0x0F), the shift codes of ISO 2022. A value comes from a
/// terminal's keypad or bar-code scanner: the control codes these carry are CR, LF, TAB, the
/// STX/ETX/EOT that frame a scan and the GS/RS separators of GS1 and ISO/IEC 15434 data; no
/// single-byte code page (Windows-1252 included) uses SO and SI, so no character typed into a
/// value is either. They are not NUL (the library takes templates as C strings) and not '[',
/// ']', CR or LF (which its group syntax reads). A value that holds one all the same is still
/// typed literally, with the marker dropped (see notation()).
class MarkedTemplate
{
public:
    static constexpr QChar kValueStart{u'\x0E'};
    static constexpr QChar kValueEnd{u'\x0F'};

    /// `userTemplate` as the user stored it; markers in it are dropped (they would type
    /// nothing). The limit on a template's length applies to it, not to text().
    explicit MarkedTemplate(const QString& userTemplate);

    /// What the library gets: the template with every field group between the markers.
    [[nodiscard]] const QString& text() const { return m_text; }

    /// The text the library laid out with text(), as keystroke notation: the template's text
    /// as it is, every value written with SendKeys::literal(), no markers left.
    ///
    /// A value's end is the first end marker that is followed, up to the next start marker, by
    /// text the template can put between two values (or, at the end, by the template's text
    /// after its last group); so a marker inside a value does not end it early.
    [[nodiscard]] QString notation(QStringView libraryText) const;

private:
    [[nodiscard]] qsizetype valueEnd(QStringView text, qsizetype from) const;

    QString m_text;
    /// Template text that stands between the end of one value and the start of the next: after
    /// each group but the last, and after the last group followed by the text before the first
    /// (the next record of the same call).
    QStringList m_between;
    /// Template text after its last group.
    QString m_after;
};
