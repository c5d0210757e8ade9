#include "upgrade/dialogs/vuUpdaterDialogHost.h"

#include "upgrade/dialogs/vuUpdaterPassword.h"
#include "upgrade/dialogs/vuUpdaterWizard.h"

namespace vu {

TvuUpdaterDialogHost::~TvuUpdaterDialogHost() {
    DetachWizardHost(this);
    DetachPasswordHost(this);
}

} // namespace vu
