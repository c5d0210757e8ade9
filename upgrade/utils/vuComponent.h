// Base class of the upgrade component's non-visual components: an owner (the QObject parent), a
// "being destroyed" state that stops event handlers from running during teardown, and the stored
// settings (vuStoredSettings.h): a component writes its stored properties in WriteProperties,
// takes them back one at a time in ReadProperty, and is told in Loaded when all have been read.
#pragma once

#include "upgrade/utils/vuStoredSettings.h"

#include <QObject>
#include <QStringList>

#include <atomic>

namespace vu {

class TvuComponent : public QObject {
    Q_OBJECT
public:
    explicit TvuComponent(QObject* owner = nullptr);
    ~TvuComponent() override;

    QObject* Owner() const { return parent(); }

    // True from the moment this component's destruction began (or its owner's, when the owner is a
    // TvuComponent). Safe to read from any thread.
    bool Destroying() const;

    // Called after the stored properties have been read.
    virtual void Loaded();

    // Writes the properties to be stored, applying the storing rules. Derived classes call the
    // inherited version first, then add their own.
    virtual void WriteProperties(TvuSettingsWriter& writer) const;
    // Takes one stored property; returns false when the name is not one of this component's or
    // the value does not fit it (the property then keeps its value). Derived classes handle their
    // own names and pass the others to the inherited version.
    virtual bool ReadProperty(const QByteArray& name, const TvuStoredValue& value);

protected:
    // Marks the component and its TvuComponent children (recursively) as being destroyed;
    // derived destructors call it first, so that nothing raises events into a half-destroyed
    // object.
    void BeginDestroy();
    // Called once, on the thread that destroys the component, when it starts being destroyed.
    virtual void DestroyingStarted();

private:
    std::atomic<bool> destroying_{false};
};

// The component's stored properties as settings text.
QByteArray SaveComponentSettings(const TvuComponent& component);
// Reads settings text into a component: nothing is changed when the text does not parse (false,
// with the reason in `problems`); otherwise every property is handed to ReadProperty, names or
// values it refuses are listed in `problems` (the result is then false), and Loaded is called.
bool LoadComponentSettings(TvuComponent& component, const QByteArray& text,
                           QStringList* problems = nullptr);

} // namespace vu
