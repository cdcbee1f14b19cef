// The wizard: the frame dialog with its pages, run when setup is not silent.
#pragma once

// Runs the wizard until it ends (the frame dialog's DialogBoxParam); then
// waits a little for a phase-1 worker that was told to stop.
void RunWizard();
