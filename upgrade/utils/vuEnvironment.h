// The inputs the upgrade component takes from the world around it: the network, the command
// line, the date, the program's own file, starting programs and timers. Each can be replaced
// (tests install their own); an empty function stands for the real one.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

class QObject;

namespace vu {

struct TvuEnvironment {
    // Whether the computer has a network connection (IsOnline).
    std::function<bool()> Online;
    // The program's first command-line argument, empty without one.
    std::function<QByteArray()> FirstArgument;
    // Today's date.
    std::function<QDate()> Today;
    // The current instant, in UTC (the expiry of an information file).
    std::function<QDateTime()> Now;
    // The running program's file, the one an upgrade replaces.
    std::function<QString()> ProgramPath;
    // The installed package that owns a file, empty when none (dpkg's database).
    std::function<QString(const QString& path)> PackageOwner;
    // Starts a detached process with an argument vector; returns whether it started.
    std::function<bool(const QString& program, const QStringList& args)> StartProcess;
    // Runs `then` after `ms` milliseconds on the GUI thread, dropped when `context` is gone.
    std::function<void(QObject* context, int ms, std::function<void()> then)> Schedule;
};

// Installs `environment` and returns the one it replaces. Safe from any thread; a call already
// running keeps the function it started with.
TvuEnvironment SetEnvironment(TvuEnvironment environment);
// A copy of the installed environment.
TvuEnvironment InstalledEnvironment();

// The inputs as the component reads them: the installed function, or the real one.
namespace env {
bool Online();
QByteArray FirstArgument();
QDate Today();
QDateTime Now();
QString ProgramPath();
QString PackageOwner(const QString& path);
bool StartProcess(const QString& program, const QStringList& args);
void Schedule(QObject* context, int ms, std::function<void()> then);
} // namespace env

} // namespace vu
