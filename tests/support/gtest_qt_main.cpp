// The main function of GoogleTest programs whose code needs a Qt application object: the
// application first (a QApplication where widgets are built, a QCoreApplication otherwise), then
// GoogleTest. Tests never need a display: without a platform set, the offscreen one is used.
#include <gtest/gtest.h>

#ifdef VELMORA_GTEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TestApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
