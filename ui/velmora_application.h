#pragma once

#include <QApplication>

// The application object: its name is the program's title, and an exception that escapes the
// handling of any event is shown in the unhandled-error box instead of ending the program.
namespace velmora {

class VelmoraApplication : public QApplication {
    Q_OBJECT
public:
    VelmoraApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace velmora
