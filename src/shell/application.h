#pragma once

#include <QFont>
#include <QIcon>
#include <QString>

namespace vantrel
{

// The program as the desktop meets it: its name, icon, desktop entry and the look of
// its controls. The program and the tests that look at its windows set it up alike.
void setUpApplication();

// The windows' font: the layouts' sans serif, bold, 8.25 pt unless told (the splash's
// titles are larger). Liberation Sans has the widths of the font the screens were laid
// out with, so their texts fit the twip geometry.
QFont windowFont(double points = 8.25);

// The program's icon (data/icons/vantrel.svg), rendered at each size a desktop asks for
// when the program is built and compiled in, so no SVG support is needed at run time.
QIcon appIcon();

// The name of the program's desktop entry, by which a desktop matches the program's
// windows to the entry in its menu.
QString desktopEntryName();

} // namespace vantrel
