#include "ui/window_app.h"

#include "ui/display_check.h"
#include "ui/session_bus.h"
#include "ui/tform1.h"
#include "ui/velmora_application.h"

#include <malloc.h>

#include <cstdio>
#include <cstdlib>

namespace velmora {

namespace {

constexpr int kReturnedBlockBytes = 128 * 1024;

} // namespace

int runWindow(int argc, char** argv, const std::function<void(QWidget&)>& beforeShow) {
    if (const std::optional<QString> message = missingDisplayMessage()) {
        std::fputs(message->toLocal8Bit().constData(), stderr);
        return 1;
    }
    if (const std::optional<QByteArray> platform =
            sessionPlatform([](const char* name) { return std::getenv(name); }))
        qputenv("QT_QPA_PLATFORM", *platform);
    avoidSessionBusLaunch();
    // Large blocks (128 KiB and more) are given back to the system when freed. Left to itself,
    // the allocator raises that limit after the first such block is freed and keeps later ones
    // in the heap: the font engines' transient copies of whole font tables (400 KB for the
    // Chinese face) would then stay resident for the program's life.
    mallopt(M_MMAP_THRESHOLD, kReturnedBlockBytes);
    VelmoraApplication app(argc, argv);
    TForm1 Form1;
    if (beforeShow)
        beforeShow(Form1);
    Form1.show();
    return app.exec();
}

} // namespace velmora
