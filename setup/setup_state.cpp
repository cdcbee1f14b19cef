// The run state record and its small helpers.
#include "setup_state.h"

#include <stdlib.h>
#include <string.h>

#include "setup_base.h"

SetupState gSetup;

bool AddUseFile(const char* path) {
    if (gSetup.useCount == gSetup.useCapacity) {
        int capacity = gSetup.useCapacity ? gSetup.useCapacity * 2 : 8;
        void* grown = realloc(gSetup.useList, (size_t)capacity * sizeof *gSetup.useList);
        if (!grown)
            return false;
        gSetup.useList = (char(*)[260])grown;
        gSetup.useCapacity = capacity;
    }
    if (!StrCopy(gSetup.useList[gSetup.useCount], countof(gSetup.useList[0]), path))
        return false;
    gSetup.useCount++;
    return true;
}

void AddLogNote(const char* line) {
    StrCat(gSetup.logNotes, countof(gSetup.logNotes), line);
    StrCat(gSetup.logNotes, countof(gSetup.logNotes), "\n");
}

void ResetSetupState() {
    free(gSetup.useList);
    free(gSetup.script);
    memset(&gSetup, 0, sizeof gSetup);
}
