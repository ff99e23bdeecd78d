#pragma once

#include <QString>

namespace vellora {

// What the user is told when the current output's volume follows its loudest stream (PulseAudio's
// flat volumes): what it does to the switching, and how to turn it off. One line, whatever the
// description holds; an empty description stands for the current output.
QString flatVolumesMessage(const QString& outputDescription);

} // namespace vellora
