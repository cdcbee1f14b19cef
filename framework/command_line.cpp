// Command-line parsing: switches start with '-', everything else is an
// argument of the switch before it; a double-quoted argument may hold blanks.
#include "command_line.h"

#include <string.h>

#include <new>

void FreeSwitches(CDynArray<CmdSwitch>* switches) {
    for (int i = 0; i < switches->count; i++)
        delete switches->At(i)->args;
    switches->RemoveAll();
}

// Copies n characters of src into dst (kCchPath), cutting at 259.
static void CopyToken(char* dst, const char* src, size_t n) {
    if (n > kCchPath - 1)
        n = kCchPath - 1;
    memcpy(dst, src, n);
    dst[n] = '\0';
}

// Appends the switch under construction; on failure its arguments are freed.
static void AppendSwitch(CDynArray<CmdSwitch>* switches, CmdSwitch* sw) {
    if (!sw->args)
        return;
    if (switches->Add(sw) < 0)
        delete sw->args;
    sw->args = nullptr;
}

int ParseCommandLine(CDynArray<CmdSwitch>* switches, const char* cmdLine, CmdLineFlags* flags) {
    FreeSwitches(switches);
    if (!cmdLine || !*cmdLine)
        return 0;
    bool quit = false, waitForData = false;
    CmdSwitch cur;
    cur.name[0] = '\0';
    cur.args = nullptr;  // null: no switch under construction
    const char* p = cmdLine;
    for (;;) {
        while (*p == ' ')
            p++;
        if (!*p)
            break;
        if (*p == '-') {
            AppendSwitch(switches, &cur);
            const char* end = strchr(p, ' ');
            if (!end)
                end = p + strlen(p);
            CopyToken(cur.name, p, end - p);
            cur.args = new (std::nothrow) CDynArray<CmdArg>;
            p = end;
            if (StrCmpAsciiNoCase(cur.name, "-WAITFORDATAPATH") == 0)
                waitForData = true;
            else if (StrCmpAsciiNoCase(cur.name, "-QUIT") == 0)
                quit = true;
            else if (StrCmpAsciiNoCase(cur.name, "-AUTOSTART") == 0) {
                if (flags)
                    flags->autostart = true;
            } else if (StrCmpAsciiNoCase(cur.name, "-MINIMIZE") == 0) {
                if (flags)
                    flags->startMinimized = true;
            }
            continue;
        }
        if (!cur.args) {  // an argument before any switch
            cur.name[0] = '\0';
            cur.args = new (std::nothrow) CDynArray<CmdArg>;
        }
        CmdArg arg;
        if (*p == '"') {
            const char* start = p + 1;
            const char* end = strchr(start, '"');
            if (!end)
                end = start + strlen(start);
            CopyToken(arg, start, end - start);
            p = *end ? end + 1 : end;
        } else {
            const char* end = strchr(p, ' ');
            if (!end)
                end = p + strlen(p);
            CopyToken(arg, p, end - p);
            p = end;
        }
        if (cur.args)  // null only when out of memory
            cur.args->Add(&arg);
    }
    AppendSwitch(switches, &cur);
    return quit ? -1 : waitForData ? 1 : 0;
}
