#pragma once

#include <QIcon>

/// What every window of the program carries: the package's icon.
namespace WindowDecoration {

/// The package's icon from the desktop's icon theme (installed as "kolbrin"), or, where the
/// theme has none or cannot draw it, the same picture drawn here.
[[nodiscard]] QIcon programIcon();

/// Sets the icon and the title suffix for every window of the application.
void applyToApplication();

} // namespace WindowDecoration
