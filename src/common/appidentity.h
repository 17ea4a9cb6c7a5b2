#pragma once

#include <QString>

/// The program's name and version as the user sees them.
namespace AppIdentity {

inline constexpr int kVersionMajor = KOLBRIN_VERSION_MAJOR;
inline constexpr int kVersionMinor = KOLBRIN_VERSION_MINOR;
inline constexpr int kVersionRevision = KOLBRIN_VERSION_REVISION;

/// Application name of the settings store and title of message boxes without one of their own.
inline QString productName()
{
    return QStringLiteral("Kolbrin");
}

/// Main window caption: "Kolbrin " and the three version numbers, each with its leading space.
QString mainWindowCaption();

} // namespace AppIdentity
