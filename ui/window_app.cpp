#include "ui/window_app.h"

#include "ui/display_check.h"
#include "ui/session_bus.h"
#include "ui/tform1.h"
#include "ui/velmora_application.h"

#include <cstdio>
#include <cstdlib>

namespace velmora {

int runWindow(int argc, char** argv, const std::function<void(QWidget&)>& beforeShow) {
    if (const std::optional<QString> message = missingDisplayMessage()) {
        std::fputs(message->toLocal8Bit().constData(), stderr);
        return 1;
    }
    if (const std::optional<QByteArray> platform =
            sessionPlatform([](const char* name) { return std::getenv(name); }))
        qputenv("QT_QPA_PLATFORM", *platform);
    avoidSessionBusLaunch();
    VelmoraApplication app(argc, argv);
    TForm1 Form1;
    if (beforeShow)
        beforeShow(Form1);
    Form1.show();
    return app.exec();
}

} // namespace velmora
