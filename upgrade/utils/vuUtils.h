// Free routines at the bottom of the upgrade component, one header per concern; the rest of the
// component includes them all through this header:
//   vuOnline            whether the machine looks connected
//   vuPercent           percentages of transfers
//   vuCommandSplit      registered open commands split into program and parameters
//   vuBrowser           the desktop's browser and opening URLs
//   vuFiles             private temporary folder, file names of URLs, file sizes, times, resources
//   vuVersions          dotted version comparison
//   vuHTTPDate          HTTP date headers and the local time zone
//   vuWaitEvents        waiting on the GUI thread until an event is signalled
//   vuApplicationState  whether the application is closing and still has a main window
//   vuApplicationClose  closing the application and naming its main window (links Qt Widgets)
//
// Texts that the routines parse are byte strings (QByteArray): positions are bytes, comparisons
// byte-wise and case-sensitive unless a routine says otherwise. File names, folders and URLs that
// go to the operating system are QString. No routine throws: failures are folded into the
// results (false, empty, -1, 0).
#pragma once

#include "upgrade/utils/vuApplicationClose.h"
#include "upgrade/utils/vuApplicationState.h"
#include "upgrade/utils/vuBrowser.h"
#include "upgrade/utils/vuCommandSplit.h"
#include "upgrade/utils/vuDateTime.h"
#include "upgrade/utils/vuEnvironment.h"
#include "upgrade/utils/vuFiles.h"
#include "upgrade/utils/vuHTTPDate.h"
#include "upgrade/utils/vuOnline.h"
#include "upgrade/utils/vuPercent.h"
#include "upgrade/utils/vuUserSettings.h"
#include "upgrade/utils/vuVersions.h"
#include "upgrade/utils/vuWaitEvents.h"

namespace vu {} // namespace vu
