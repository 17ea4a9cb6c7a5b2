#pragma once

#include <Qt>

class QWidget;

/// Layout sizes are given in twips, 1/1440 inch, as the windows were first drawn; this turns
/// them into pixels of the screen a widget is on (96 dots per inch when it is on none).
[[nodiscard]] int twipsToPixels(const QWidget& widget, int twips, Qt::Orientation orientation);
