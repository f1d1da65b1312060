#pragma once

#include <QIcon>
#include <QString>

namespace vantrel
{

// The program's icon (data/icons/vantrel.svg), rendered at each size a desktop asks for
// when the program is built and compiled in, so no SVG support is needed at run time.
QIcon appIcon();

// The name of the program's desktop entry, by which a desktop matches the program's
// windows to the entry in its menu.
QString desktopEntryName();

} // namespace vantrel
