// The wizard's pages are not built yet: a run without "-SILENT" or
// "-INSTALL=" ends at once, as a wizard cancelled on its first page does.
#include "wizard.h"

#include "setup_state.h"

void RunWizard() {
    gSetup.cancelled = true;
}
