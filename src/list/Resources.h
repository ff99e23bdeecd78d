#pragma once

#include <QIcon>
#include <QString>

namespace vellora {

// Registers the program's built-in images (icons of the tray, options button and About).
void initResources();

// An image of the program: the bundle's Resources/NAME.svg, else the built-in copy.
QIcon bundleImage(const QString& name);

} // namespace vellora
