#pragma once

namespace vellora {

// Registers the program's built-in images (icons of the tray, options button and About).
void initResources();

} // namespace vellora
