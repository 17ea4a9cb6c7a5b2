#pragma once

// A reading laid out the way keyboard mode reads it: the templates marked by MarkedTemplate,
// the records laid out by the library's own formatter, the text turned back into notation.
#include "common/textcodec.h"
#include "output/markedtemplate.h"
#include "template/templateformatter.h"

#include <QString>
#include <ostream>
#include <vector>

/// Values as terminals hold them, with every character the keystroke notation reads and the
/// marker characters keyboard mode puts around values; `typed` is what must arrive.
struct ValueCase
{
    const char* name;
    const char16_t* value;
    const char16_t* typed;
};

inline void PrintTo(const ValueCase& c, std::ostream* os)
{
    *os << c.name;
}

inline const std::vector<ValueCase>& valueCases()
{
    static const std::vector<ValueCase> cases = {
        {"Percent", u"Iogurte 0% gordura", u"Iogurte 0% gordura"},
        {"PlusAndParentheses", u"Caf\u00e9+Leite (pack)", u"Caf\u00e9+Leite (pack)"},
        {"Tilde", u"A\u00e7\u00facar ~1kg", u"A\u00e7\u00facar ~1kg"},
        {"CaretAndBraces", u"^c{TAB}{}{", u"^c{TAB}{}{"},
        {"Brackets", u"[Code] [XX]x][", u"[Code] [XX]x]["},
        {"EveryOne", u"%+^~(){}[]", u"%+^~(){}[]"},
        {"Empty", u"", u""},
        {"EndMarkerInside",
         u"a\x0f"
         u"b%",
         u"ab%"},
        {"StartMarkerInside", u"\x0e%a", u"%a"},
        {"BothMarkersInside", u"x\x0f%\x0ey", u"x%y"},
        {"EndMarkerLast", u"50%\x0f", u"50%"},
    };
    return cases;
}

/// `records` laid out with `userTemplate` as keyboard mode does it, as notation.
inline QString markedReading(const QString& userTemplate,
                             const std::vector<vorlak::Record>& records)
{
    const MarkedTemplate marks(userTemplate);
    const std::string libraryTemplate = TextCodec::toWindows1252(marks.text()).toStdString();
    std::string text;
    for (const vorlak::Record& record : records) {
        text += vorlak::formatRecord(libraryTemplate, record);
    }
    return marks.notation(TextCodec::fromWindows1252(QByteArray::fromStdString(text)));
}

inline std::string windows1252(const char16_t* text)
{
    return TextCodec::toWindows1252(QString::fromUtf16(text)).toStdString();
}
