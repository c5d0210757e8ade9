#include "upgrade/dialogs/vuUpdaterDialogHost.h"

#include "upgrade/dialogs/vuUpdaterPassword.h"
#include "upgrade/dialogs/vuUpdaterWizard.h"

TvuUpdaterDialogHost::~TvuUpdaterDialogHost() {
    DetachWizardHost(this);
    DetachPasswordHost(this);
}
