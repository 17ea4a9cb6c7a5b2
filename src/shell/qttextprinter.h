#pragma once

#include "textprinter.h"

#include <QFont>
#include <functional>

class QPrinter;

/// Prints plain text through Qt print support: on the platform's default printer, or on a
/// printer handed in (a PDF printer in tests). The text is laid out in the given font, wrapped
/// to the page and broken into pages; the job is ended at once so it goes to the printer.
class QtTextPrinter : public TextPrinter
{
public:
    /// The name of the default printer; empty when there is none.
    using DefaultPrinterLookup = std::function<QString()>;

    /// Prints on the default printer, as the platform names it.
    explicit QtTextPrinter(QFont font = {}, DefaultPrinterLookup lookup = platformDefaultPrinter);
    /// Prints on the given printer, which must outlive this object.
    QtTextPrinter(QPrinter& printer, QFont font = {});

    PrintResult printText(const QString& text) override;

    [[nodiscard]] static QString platformDefaultPrinter();

private:
    PrintResult printOn(QPrinter& printer, const QString& text) const;

    QFont m_font;
    DefaultPrinterLookup m_lookup;
    QPrinter* m_printer = nullptr;
};
