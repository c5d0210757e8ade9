#pragma once

// Shared pieces of the transfer tests: a component with every event recorded in order, and a
// transfer run to its end with the bounded wait.

#include "tests/support/event_loop_wait.h"
#include "upgrade/http/vuHTTP.h"

#include <QByteArray>
#include <QIODevice>
#include <QStringList>

#include <functional>
#include <mutex>

namespace vutest {

// OnStatus and OnRedirected run on the worker: what they record is guarded by this lock.
inline std::mutex WorkerEventLock;

struct RecordedTransfer {
    QStringList Events;       // GUI-thread events in order
    QList<quint32> Statuses;  // under WorkerEventLock while a transfer runs
    QByteArrayList Redirects; // under WorkerEventLock while a transfer runs
    QByteArray Body; // Data of OnDone / OnHTTPError / OnConnectionLost, read during the event
    bool DoneWithStream = false;
    quint32 DoneSize = 0;
    qint32 ErrorStatus = 0;
    quint32 LostBytes = 0;
    quint32 HeaderLength = 0;
    qint32 HeaderStatus = 0;
    QByteArray HeaderType;
    QByteArray Realm;
    QList<quint8> Percents;
    int Progress = 0;
    bool StoredBeforeHeaders = false;
};

// Attaches recording handlers to every event of a component.
inline void Record(vu::TvuCustomHTTP& http, RecordedTransfer& r) {
    auto readAll = [](QIODevice* d) {
        if (d == nullptr)
            return QByteArray();
        const qint64 pos = d->pos();
        d->seek(0);
        QByteArray all = d->readAll();
        d->seek(pos);
        return all;
    };
    http.OnHeaderInfo = [&r, &http](QObject*, qint32 status, const QByteArray&,
                                    const QByteArray& type, const QByteArray&, const QByteArray&,
                                    const QByteArray&, quint32 length, vu::TDateTime, vu::TDateTime,
                                    vu::TDateTime, bool&) {
        r.Events << "HeaderInfo";
        r.HeaderStatus = status;
        r.HeaderLength = length;
        r.HeaderType = type;
        r.StoredBeforeHeaders = http.Data() != nullptr;
    };
    http.OnDone = [&r, readAll](QObject*, const QByteArray&, quint32 size, QIODevice* data) {
        r.Events << "Done";
        r.DoneWithStream = data != nullptr;
        r.DoneSize = size;
        r.Body = readAll(data);
    };
    http.OnCancelled = [&r](QObject*) { r.Events << "Cancelled"; };
    http.OnTransferProgress = [&r](QObject*, const QByteArray&, quint32, quint32, qint32, qint32,
                                   quint8 percents, float, QIODevice*) {
        ++r.Progress;
        r.Percents << percents;
    };
    http.OnStatus = [&r](QObject*, quint32 code, const QByteArray&) {
        std::lock_guard<std::mutex> guard(WorkerEventLock);
        r.Statuses << code;
    };
    http.OnRedirected = [&r](QObject*, const QByteArray& url) {
        std::lock_guard<std::mutex> guard(WorkerEventLock);
        r.Redirects << url;
    };
    http.OnTransferFailed = [&r](QObject*) { r.Events << "TransferFailed"; };
    http.OnTransferAborted = [&r](QObject*) { r.Events << "TransferAborted"; };
    http.OnConnectionLost = [&r, readAll](QObject*, const QByteArray&, quint32, quint32 bytes,
                                          QIODevice* data) {
        r.Events << "ConnectionLost";
        r.LostBytes = bytes;
        r.Body = readAll(data);
    };
    http.OnServerUnreachable = [&r](QObject*) { r.Events << "ServerUnreachable"; };
    http.OnHTTPError = [&r, readAll](QObject*, qint32 status, QIODevice* data) {
        r.Events << "HTTPError";
        r.ErrorStatus = status;
        r.Body = readAll(data);
    };
}

// Whether a status was seen (safe while the transfer runs).
inline bool SawStatus(const RecordedTransfer& r, quint32 code) {
    std::lock_guard<std::mutex> guard(WorkerEventLock);
    return r.Statuses.contains(code);
}

// Starts a transfer and waits for its completion (Busy cleared).
inline bool Fetch(vu::TvuCustomHTTP& http, int timeoutMs = 15000) {
    if (!http.Read())
        return false;
    return WaitFor([&] { return !http.Busy(); }, timeoutMs);
}

} // namespace vutest
