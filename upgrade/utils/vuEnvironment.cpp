#include "upgrade/utils/vuEnvironment.h"

#include "upgrade/utils/vuOnline.h"
#include "upgrade/utils/vuPackageOwner.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTimer>

#include <mutex>

namespace vu {

namespace {

std::mutex g_lock;
TvuEnvironment g_installed;

// The installed function for one input, copied under the lock so that it is called outside it
// (a function may take long, or install another environment).
template <typename Function> Function Installed(Function TvuEnvironment::*input) {
    std::lock_guard lock(g_lock);
    return g_installed.*input;
}

} // namespace

TvuEnvironment SetEnvironment(TvuEnvironment environment) {
    std::lock_guard lock(g_lock);
    std::swap(g_installed, environment);
    return environment;
}

TvuEnvironment InstalledEnvironment() {
    std::lock_guard lock(g_lock);
    return g_installed;
}

namespace env {

bool Online() {
    const auto online = Installed(&TvuEnvironment::Online);
    return online ? online() : IsOnline();
}

QByteArray FirstArgument() {
    if (const auto argument = Installed(&TvuEnvironment::FirstArgument))
        return argument();
    const QStringList args = QCoreApplication::arguments();
    return args.size() > 1 ? args.at(1).toLocal8Bit() : QByteArray();
}

QDate Today() {
    const auto today = Installed(&TvuEnvironment::Today);
    return today ? today() : QDate::currentDate();
}

QDateTime Now() {
    const auto now = Installed(&TvuEnvironment::Now);
    return now ? now() : QDateTime::currentDateTimeUtc();
}

QString ProgramPath() {
    const auto path = Installed(&TvuEnvironment::ProgramPath);
    return path ? path() : QCoreApplication::applicationFilePath();
}

QString PackageOwner(const QString& path) {
    const auto owner = Installed(&TvuEnvironment::PackageOwner);
    return owner ? owner(path) : DpkgPackageOwning(path);
}

bool StartProcess(const QString& program, const QStringList& args) {
    const auto start = Installed(&TvuEnvironment::StartProcess);
    return start ? start(program, args) : QProcess::startDetached(program, args);
}

void Schedule(QObject* context, int ms, std::function<void()> then) {
    if (const auto schedule = Installed(&TvuEnvironment::Schedule))
        schedule(context, ms, std::move(then));
    else
        QTimer::singleShot(ms, context, std::move(then));
}

} // namespace env

} // namespace vu
