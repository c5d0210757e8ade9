#include "upgrade/utils/vuComponent.h"

namespace vu {

TvuComponent::TvuComponent(QObject* owner) : QObject(owner) {}

TvuComponent::~TvuComponent() {
    BeginDestroy();
}

bool TvuComponent::Destroying() const {
    return destroying_.load(std::memory_order_acquire);
}

void TvuComponent::BeginDestroy() {
    // The flag is pushed down to the children rather than looked up through the owner, so that
    // other threads never need to touch an owner that is half destroyed.
    if (destroying_.exchange(true, std::memory_order_acq_rel))
        return;
    DestroyingStarted();
    for (QObject* child : children()) {
        if (auto* component = dynamic_cast<TvuComponent*>(child))
            component->BeginDestroy();
    }
}

void TvuComponent::DestroyingStarted() {}

void TvuComponent::Loaded() {}

void TvuComponent::WriteProperties(TvuSettingsWriter&) const {}

bool TvuComponent::ReadProperty(const QByteArray&, const TvuStoredValue&) {
    return false;
}

QByteArray SaveComponentSettings(const TvuComponent& component) {
    TvuSettingsWriter writer;
    component.WriteProperties(writer);
    return writer.Text();
}

bool LoadComponentSettings(TvuComponent& component, const QByteArray& text, QStringList* problems) {
    QList<std::pair<QByteArray, TvuStoredValue>> properties;
    QString error;
    if (!ParseStoredSettings(text, properties, &error)) {
        if (problems)
            problems->append(error);
        return false;
    }
    bool ok = true;
    for (const auto& [name, value] : properties) {
        if (!component.ReadProperty(name, value)) {
            ok = false;
            if (problems)
                problems->append(
                    QStringLiteral("property %1 refused").arg(QString::fromLatin1(name)));
        }
    }
    component.Loaded();
    return ok;
}

} // namespace vu
