// Closing the application: the main window is closed, the event loop ends, and waits that stop on
// termination return at once.
#include "upgrade/utils/vuUtils.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vu;

// Records the main window as seen while it is destroyed.
class Probe : public QObject {
public:
    using QObject::QObject;
    ~Probe() override { *seen = ApplicationMainWindow(); }
    QWidget** seen = nullptr;
};

TEST(UtilsApplication, NamedWindowIsTheMainWindowUntilItIsGone) {
    auto* window = new QWidget; // any widget may be named, not only a QMainWindow
    EXPECT_EQ(ApplicationMainWindow(), nullptr);
    SetApplicationMainWindow(window);
    EXPECT_EQ(ApplicationMainWindow(), window);

    // Its children are destroyed while it still counts as the main window, so that a component
    // among them does not take the program for one that is ending.
    QWidget* seenWhileDestroying = nullptr;
    auto* probe = new Probe(window);
    probe->seen = &seenWhileDestroying;
    delete window;
    EXPECT_EQ(seenWhileDestroying, window);
    EXPECT_EQ(ApplicationMainWindow(), nullptr);
}

TEST(UtilsApplication, CloseApplicationClosesTheMainWindowAndQuits) {
    EXPECT_EQ(ApplicationMainWindow(), nullptr);
    QWidget loose; // a top-level widget that is not a main window
    loose.show();
    EXPECT_EQ(ApplicationMainWindow(), nullptr);

    auto* main = new QMainWindow;
    main->setAttribute(Qt::WA_DeleteOnClose);
    bool destroyed = false;
    QObject::connect(main, &QObject::destroyed, [&] { destroyed = true; });
    main->show();
    EXPECT_EQ(ApplicationMainWindow(), main);
    EXPECT_FALSE(ApplicationTerminating());

    bool fallbackFired = false;
    qint64 waited = -1;
    QTimer::singleShot(0, [&] {
        CloseApplication();
        EXPECT_TRUE(ApplicationTerminating());
        TvuEventHandle event{0};
        QElapsedTimer clock;
        clock.start();
        WaitWithMessages(event, 20000, true);
        waited = clock.elapsed();
    });
    // Bounds the test should the quit never arrive.
    QTimer fallback;
    fallback.setSingleShot(true);
    QObject::connect(&fallback, &QTimer::timeout, [&] {
        fallbackFired = true;
        QCoreApplication::exit(1);
    });
    fallback.start(20000);
    const int code = QApplication::exec();
    EXPECT_FALSE(fallbackFired);
    EXPECT_EQ(code, 0);
    EXPECT_GE(waited, 0);
    EXPECT_LT(waited, 10000);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(ApplicationMainWindow(), nullptr);
}
