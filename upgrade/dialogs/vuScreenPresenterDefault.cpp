// Makes the dialogs the default presenters of every program that links the upgrade component
// with them (vu_updater links this unit whole, since nothing refers to it by name).
#include "upgrade/dialogs/vuScreenPresenter.h"

namespace vu {

namespace {

const bool gScreenPresentersInstalled = [] {
    SetDefaultUserPresenter(&ScreenPresenter());
    SetDefaultUpgradePresenter(&DialogPresenter());
    return true;
}();

} // namespace

} // namespace vu
