#include "twips.h"

#include <QScreen>
#include <QWidget>

namespace {

constexpr int kTwipsPerInch = 1440;
constexpr double kDefaultDotsPerInch = 96.0;

} // namespace

int twipsToPixels(const QWidget& widget, int twips, Qt::Orientation orientation)
{
    const QScreen* where = widget.screen();
    const double dpi = where == nullptr                ? kDefaultDotsPerInch
                       : orientation == Qt::Horizontal ? where->logicalDotsPerInchX()
                                                       : where->logicalDotsPerInchY();
    return static_cast<int>(twips * dpi / kTwipsPerInch + 0.5);
}
