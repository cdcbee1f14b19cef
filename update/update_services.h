// Hands the update check and the configuration archive to the framework,
// which runs them when due and opens their dialogs. Call before gApp.Init.
#pragma once

void InstallUpdateServices();
// At the end of the message loop: stops the update check's workers
// (bounded), before the program's objects are freed.
void StopUpdateServices();
