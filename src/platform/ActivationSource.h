#pragma once

#include "platform/RunningApplication.h"

#include <QObject>

namespace vellora {

// Tells when another application becomes the active one.
class ActivationSource : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~ActivationSource() override = default;
    // Whether activations can be observed at all in this session.
    virtual bool isAvailable() const = 0;

signals:
    // An application became the active one.
    void applicationActivated(const vellora::RunningApplication& application);
};

} // namespace vellora
