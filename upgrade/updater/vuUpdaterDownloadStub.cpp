// Minimal download stage, used by the build only while vuUpdaterDownload.cpp does not exist: an
// accepted upgrade downloads nothing and ends at once. Replaced as a whole by that file.
#include "upgrade/updater/vuUpdater.h"

void TvuUpdater::StartUpgrade() {
    checkingInfoFile_ = false;
    SetCacheAllowed(useCache_);
}

void TvuUpdater::StopUpgrade() {
    SignalEvent(waitEvent_.load());
    Abort();
}

void TvuUpdater::AbortUpgrade() {
    aborted_ = true;
    StopUpgrade();
    if (OnAborted)
        OnAborted(this);
}

void TvuUpdater::DeleteLeftoverHelper() {}

void TvuUpdater::DownloadHeaderInfo(qint32, quint32, TDateTime, bool&) {}

void TvuUpdater::DownloadProgress(quint32, quint32, qint32, qint32, quint8, float) {}

void TvuUpdater::DownloadDone() {}

void TvuUpdater::DownloadCancelled() {}

void TvuUpdater::DownloadLostFile(qint32) {}
