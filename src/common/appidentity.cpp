#include "appidentity.h"

#include "numbertext.h"

QString AppIdentity::mainWindowCaption()
{
    return productName() + QLatin1Char(' ') + numberText(kVersionMajor) + QLatin1Char('.') +
           numberText(kVersionMinor) + QLatin1Char('.') + numberText(kVersionRevision);
}
