#include "qttextprinter.h"

#include "common/fileoperations.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextDocument>

namespace {

/// How the user knows the printer: its name, or the file a PDF printer writes.
QString printerLabel(const QPrinter& printer)
{
    if (!printer.outputFileName().isEmpty()) {
        return QCoreApplication::translate("QtTextPrinter", "the file %1")
            .arg(quotedPath(printer.outputFileName()));
    }
    // A printer's name is no path: its slashes stay as they are.
    return QCoreApplication::translate("QtTextPrinter", "the printer \"%1\"")
        .arg(printer.printerName());
}

} // namespace

QtTextPrinter::QtTextPrinter(QFont font, DefaultPrinterLookup lookup)
    : m_font(std::move(font))
    , m_lookup(std::move(lookup))
{
}

QtTextPrinter::QtTextPrinter(QPrinter& printer, QFont font)
    : m_font(std::move(font))
    , m_printer(&printer)
{
}

QString QtTextPrinter::platformDefaultPrinter()
{
    return QPrinterInfo::defaultPrinterName();
}

PrintResult QtTextPrinter::printText(const QString& text)
{
    if (m_printer != nullptr) {
        return printOn(*m_printer, text);
    }
    const QString name = m_lookup ? m_lookup() : QString();
    if (name.isEmpty()) {
        return {false,
                QCoreApplication::translate(
                    "QtTextPrinter", "there is no default printer on this computer. Set up a "
                                     "printer (or choose one as the default) and print again")};
    }
    QPrinter printer(QPrinterInfo::printerInfo(name), QPrinter::HighResolution);
    return printOn(printer, text);
}

PrintResult QtTextPrinter::printOn(QPrinter& printer, const QString& text) const
{
    QTextDocument document;
    document.setDefaultFont(m_font);
    document.setPlainText(text);
    // Laid out at the printer's resolution, so point sizes come out as on screen.
    document.documentLayout()->setPaintDevice(&printer);

    QPainter painter;
    if (!painter.begin(&printer)) {
        return {false, QCoreApplication::translate("QtTextPrinter", "%1 did not accept the job")
                           .arg(printerLabel(printer))};
    }
    const QRectF printable = printer.pageRect(QPrinter::DevicePixel);
    const QSizeF page(printable.width(), printable.height());
    document.setPageSize(page);
    const int pages = document.pageCount();
    for (int index = 0; index < pages; ++index) {
        if (index > 0 && !printer.newPage()) {
            painter.end();
            return {false,
                    QCoreApplication::translate("QtTextPrinter", "%1 stopped the job at page %2")
                        .arg(printerLabel(printer))
                        .arg(index + 1)};
        }
        const qreal top = index * page.height();
        painter.save();
        painter.translate(0, -top);
        document.drawContents(&painter, QRectF(QPointF(0, top), page));
        painter.restore();
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error) {
        return {false, QCoreApplication::translate("QtTextPrinter", "%1 could not finish the job")
                           .arg(printerLabel(printer))};
    }
    return {true, {}};
}
