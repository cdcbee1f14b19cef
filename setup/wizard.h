// The wizard: the frame dialog with its pages, run when setup is not silent.
#pragma once

// Runs the wizard until it ends (the frame dialog's DialogBoxParam).
void RunWizard();
