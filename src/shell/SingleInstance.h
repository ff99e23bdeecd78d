#pragma once

#include <QObject>
#include <memory>

class QLocalServer;

namespace vellora {

// One running program per user: a later start tells the running one and ends.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(const QString& name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when another instance runs and was told to show itself.
    bool handedOver() const { return handedOver_; }

Q_SIGNALS:
    void reopened();

private:
    std::unique_ptr<QLocalServer> server_;
    bool handedOver_ = false;
};

} // namespace vellora
