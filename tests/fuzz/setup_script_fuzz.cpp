// libFuzzer target: the setup script language on arbitrary text: every
// phase in one of three modes (setup, uninstall, setup with the progress
// page's protocol), the platform commands as stand-ins, and substitution
// of the text itself.
// Seeds: the shipped scripts and a conditional.
// clang-format off
// seed: for s in Setup Uninstall; do sed 's/$/\r/' "$top/setup/scripts/$s.qsc" > $s.qsc; done
// seed: printf 'PhaseBegin 1\r\nIf #A#, <=, 2, !, x\r\nSet #A#, "#SELF#^"\r\nElse\r\nStatus2 "a\\nb"\r\nEndif\r\n' > if.qsc
// clang-format on
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "setup/script.h"
#include "setup/script_vars.h"
#include "setup/setup_state.h"

static unsigned gCalls;

// Every platform command: touches its arguments, fails now and then.
static int StandIn(int argc) {
    size_t n = 0;
    for (int i = 0; i < argc; i++)
        n += strlen(gArgs[i]);
    return ++gCalls % 7 == 0 ? (int)(n % 35) : 0;
}

// The progress page: never Retry (a statement that always fails would
// repeat forever), sometimes Cancel.
static intptr_t Page(void*, unsigned msg, uintptr_t wParam, intptr_t) {
    return msg == kMsgError ? (wParam % 3 == 0 ? 2 : 6) : 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536)
        return 0;
    // One mode an input, picked by its size: the fuzzer reaches every mode
    // by growing or cutting an input.
    {
        const int mode = (int)(size % 3);
        ResetSetupState();
        ClearVariables();
        for (int k = 0; k < kKwCount; k++)
            SetCommandHandler((Keyword)k, StandIn);
        gSetup.script = (char*)malloc(size + 1);
        memcpy(gSetup.script, data, size);
        gSetup.script[size] = '\0';
        gSetup.mode = mode == 1 ? kModeUninstall : kModeSetup;
        if (mode == 2) {
            static int page;
            gSetup.progressPage = &page;
            gSetup.sendToPage = Page;
        }
        SetVar("#SELF#", "x#SELF#y");
        SetVar("#PROGRAM#", "Vellumor Pro");
        for (int phase = 0; phase < 4; phase++)
            RunPhase(phase, mode == 2);
    }
    char text[520];
    size_t n = size < sizeof text - 1 ? size : sizeof text - 1;
    memcpy(text, data, n);
    text[n] = '\0';
    SubstituteVars(text, sizeof text);
    ResetSetupState();
    ClearVariables();
    return 0;
}
