#include "numbertext.h"

QString numberText(std::int64_t value)
{
    const QString digits = QString::number(value);
    return value < 0 ? digits : QLatin1Char(' ') + digits;
}
