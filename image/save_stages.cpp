// The stage hook of the capture benchmark; null in the program.
#include "image/save_stages.h"

SaveStageHook gSaveStageHook = nullptr;
