#include "upgrade/updater/vuUpgradePresenter.h"

#include "upgrade/utils/vuSeam.h"

#include <QCoreApplication>

namespace vu {

namespace {

TvuUpgradePresenter gSilentPresenter;
TvuSeam<TvuUpgradePresenter> gPresenter(&gSilentPresenter);

} // namespace

void TvuUpgradePresenter::CheckStarted(TvuUpdater&) {}

TvuUpgradeAnswer TvuUpgradePresenter::AskUpgrade(TvuUpdater&, const QString&, TvuUpgradeQuestion) {
    return uaLater;
}

bool TvuUpgradePresenter::AskPassword(TvuUpdater&) {
    return false;
}

void TvuUpgradePresenter::ShowProgress(TvuUpdater&) {}
void TvuUpgradePresenter::CloseProgress() {}
void TvuUpgradePresenter::BringProgressToFront() {}
void TvuUpgradePresenter::FileStarted(const QString&, int, int) {}
void TvuUpgradePresenter::FileSizeKnown(qint64) {}
void TvuUpgradePresenter::FileProgress(int, int, int, double, qint64) {}
void TvuUpgradePresenter::FileMissing(const QString&) {}
void TvuUpgradePresenter::FileRetry(const QString&) {}

bool TvuUpgradePresenter::ShowCompleted(const QStringList&) {
    return false;
}

void TvuUpgradePresenter::CloseProgram() {
    QCoreApplication::quit();
}

void TvuUpgradePresenter::UpdaterDestroyed(TvuUpdater&) {}

TvuUpgradePresenter* SetUpgradePresenter(TvuUpgradePresenter* presenter) {
    return gPresenter.Set(presenter);
}

void SetDefaultUpgradePresenter(TvuUpgradePresenter* presenter) {
    gPresenter.SetDefault(presenter);
}

TvuUpgradePresenter& UpgradePresenter() {
    return gPresenter.Current();
}

} // namespace vu
