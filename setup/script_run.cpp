// The phase runner: If levels, the error protocol with the progress page,
// and the commands that only touch the interpreter (Set, If, Else, Endif,
// Error, Status, Status2).
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "script.h"
#include "script_vars.h"
#include "setup_state.h"

char gArgs[kArgSlots][kCchArg];

static CommandHandler gHandlers[kKwCount];
static const char* gStatementArgs = "";
static const char* gStatementEnd = "";

// If levels: 1 run, 2 skip. Up to 32 levels; a deeper If is an error.
static const int kMaxIfDepth = 32;
static int gIfLevels[kMaxIfDepth];
static int gIfDepth;

static char gStatusLine[kCchArg];
static char gSecondText[kCchArg];

void SetCommandHandler(Keyword keyword, CommandHandler handler) {
    if (keyword >= 0 && keyword < kKwCount)
        gHandlers[keyword] = handler;
}

int ParseArgs(int n) {
    memset(gArgs, 0, sizeof gArgs);
    const char* cursor = gStatementArgs;
    int count = 0;
    while (count < n && count < kArgSlots && NextArg(&cursor, gStatementEnd, gArgs[count]) == 0) {
        SubstituteVars(gArgs[count], kCchArg);
        count++;
    }
    return count;
}

intptr_t SendToProgressPage(unsigned msg, uintptr_t wParam, intptr_t lParam) {
    if (!gSetup.progressPage || !gSetup.sendToPage)
        return 0;
    return gSetup.sendToPage(gSetup.progressPage, msg, wParam, lParam);
}

void SendStatusLine(const char* text) {
    StrCopy(gStatusLine, countof(gStatusLine), text);
    SendToProgressPage(kMsgStatusText, 0, (intptr_t)gStatusLine);
}

void SendStatusFmt(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(gStatusLine, countof(gStatusLine), fmt, ap);
    va_end(ap);
    SendToProgressPage(kMsgStatusText, 0, (intptr_t)gStatusLine);
}

void SendSecondText(const char* text) {
    StrCopy(gSecondText, countof(gSecondText), text);
    SendToProgressPage(kMsgStatusText, 1, (intptr_t)gSecondText);
}

static int CmdSet() {
    SendStatusLine("Setting variable...");
    char name[kCchArg], value[kCchArg];
    const char* cursor = gStatementArgs;
    if (NextArg(&cursor, gStatementEnd, name) != 0 || NextArg(&cursor, gStatementEnd, value) != 0 || !*name)
        return kCodeArgs;
    SubstituteVars(value, countof(value));
    return SetVar(name, value) < 0 ? kCodeVarTable : 0;
}

// One test of If: a op b. unknown is the result for an operator whose first
// character is none of = ! < >.
static bool Compare(const char* a, const char* op, const char* b, bool unknown) {
    switch (op[0]) {
        case '=':
            return StrCmpAsciiNoCase(a, b) == 0;
        case '!':
            return StrCmpAsciiNoCase(a, b) != 0;
        case '<':
            return op[1] == '=' ? LeadingNumber(a) <= LeadingNumber(b) : LeadingNumber(a) < LeadingNumber(b);
        case '>':
            return op[1] == '=' ? LeadingNumber(a) >= LeadingNumber(b) : LeadingNumber(a) > LeadingNumber(b);
    }
    return unknown;
}

static int CmdIf(int argc) {
    if ((argc != 3 && argc != 5) || gIfDepth == kMaxIfDepth)
        return kCodeArgs;
    bool holds = Compare(gArgs[0], gArgs[1], gArgs[2], false);
    if (argc == 5)
        holds = holds && Compare(gArgs[0], gArgs[3], gArgs[4], true);
    gIfLevels[gIfDepth++] = holds ? 1 : 2;
    return 0;
}

static int CmdElse(int) {
    if (gIfDepth > 0)
        gIfLevels[gIfDepth - 1] = gIfLevels[gIfDepth - 1] == 1 ? 2 : 1;
    return 0;
}

static int CmdEndif(int) {
    if (gIfDepth > 0)
        gIfDepth--;
    return 0;
}

static int CmdError(int) {
    SetVar("#LASTERROR#", gArgs[0]);
    return kCodeError;
}

static int CmdStatus(int) {
    SendStatusLine(gArgs[0]);
    return 0;
}

void ExpandLineBreaks(const char* text, char* out, size_t cch) {
    size_t n = 0;
    for (const char* p = text; *p && n < cch - 1; p++) {
        if (p[0] == '\\' && p[1] == 'n') {
            if (n + 2 > cch - 1)
                break;
            out[n++] = '\r';
            out[n++] = '\n';
            p++;
        } else {
            out[n++] = *p;
        }
    }
    out[n] = '\0';
}

static int CmdStatus2(int) {
    char text[kCchArg];
    ExpandLineBreaks(gArgs[0], text, countof(text));
    SendSecondText(text);
    return 0;
}

static CommandHandler CoreHandler(Keyword k) {
    switch (k) {
        case kKwIf:
            return CmdIf;
        case kKwElse:
            return CmdElse;
        case kKwEndif:
            return CmdEndif;
        case kKwError:
            return CmdError;
        case kKwStatus:
            return CmdStatus;
        case kKwStatus2:
            return CmdStatus2;
        default:
            return gHandlers[k];
    }
}

static int Execute(Keyword k, const char* args, const char* end) {
    gStatementArgs = args;
    gStatementEnd = end;
    if (k == kKwSet)
        return CmdSet();
    int argc = ParseArgs(kKeywords[k].argsRead);
    if (argc < kKeywords[k].argsNeeded)
        return kCodeArgs;
    CommandHandler handler = CoreHandler(k);
    if (!handler)
        return 0;
    bool asUser = kKeywords[k].asUser && gSetup.impersonate && GetVarInt("#REALUSER#") == 1;
    if (asUser)
        gSetup.impersonate(true);
    int code = handler(argc);
    if (asUser)
        gSetup.impersonate(false);
    return code;
}

static bool Skipping() {
    for (int i = 0; i < gIfDepth; i++)
        if (gIfLevels[i] == 2)
            return true;
    return false;
}

// The first statement of phase n's body, or null when the script has no
// such phase. *bodyEnd: the start of its PhaseEnd statement or the text's end.
static const char* FindPhase(const char* script, int n, const char** bodyEnd) {
    const char* body = nullptr;
    for (const char* p = script; *p;) {
        const char *args, *end;
        Keyword k = MatchKeyword(p, &args, &end);
        if (k == kKwPhaseBegin) {
            char number[kCchArg];
            const char* cursor = args;
            if (NextArg(&cursor, end, number) == 0 && strtol(number, nullptr, 10) == n) {
                body = NextStatement(end);
                break;
            }
        }
        p = NextStatement(end);
    }
    if (!body)
        return nullptr;
    const char* p = body;
    while (*p) {
        const char *args, *end;
        if (MatchKeyword(p, &args, &end) == kKwPhaseEnd)
            break;
        p = NextStatement(end);
    }
    *bodyEnd = p;
    return body;
}

// The line, counted from 1, on which the statement at p starts. Only CR
// ends a line, as only CR ends a statement.
static int LineOf(const char* script, const char* p) {
    int line = 1;
    for (const char* q = script; q < p; q++)
        if (*q == '\r')
            line++;
    return line;
}

void RunPhase(int n, bool onWorker) {
    gIfDepth = 0;  // a level left open in an earlier phase does not reach this one
    const char* bodyEnd = nullptr;
    const char* body = gSetup.script ? FindPhase(gSetup.script, n, &bodyEnd) : nullptr;
    if (!body) {
        if (n == 0 || n == 1)
            gSetup.result = kCodeNoPhase;
        return;
    }
    bool uninstall = gSetup.mode == kModeUninstall;
    uint64_t bodyLength = (uint64_t)(bodyEnd - body);
    int outcome = 0;
    for (const char* p = body; p < bodyEnd;) {
        if (onWorker && gSetup.cancelled)
            return;
        const char *args, *end;
        Keyword k = MatchKeyword(p, &args, &end);
        const char* next = NextStatement(end);
        if (next > bodyEnd)
            next = bodyEnd;
        bool retry = false;
        bool control = k == kKwIf || k == kKwElse || k == kKwEndif;
        if (k != kKwNone && k != kKwPhaseBegin && k != kKwPhaseEnd && (control || !Skipping())) {
            int code = Execute(k, args, end);
            gSetup.result = k == kKwRun ? 0 : code;
            if (gSetup.result != 0) {
                if (!uninstall || outcome == 0)
                    gSetup.errorLine = LineOf(gSetup.script, p);
                if (uninstall && k != kKwCloseProgram) {
                    // The first failure tells what went wrong; later ones
                    // (a folder left because a file stayed) follow from it.
                    if (outcome == 0)
                        outcome = gSetup.result;
                } else if (!gSetup.progressPage) {
                    return;
                } else {
                    intptr_t answer = SendToProgressPage(kMsgError, (uintptr_t)gSetup.result, 0);
                    if (answer == 2 || gSetup.cancelled)
                        return;
                    gSetup.result = 0;
                    retry = answer == 4;
                }
            }
        }
        uint64_t done = (uint64_t)(next - body);
        SendToProgressPage(kMsgProgress, (uintptr_t)(bodyLength ? done * 100 / bodyLength : 100), 0);
        if (!retry)
            p = next;
    }
    if (uninstall)
        gSetup.result = outcome;
    SendToProgressPage(kMsgPhaseDone, 0, 0);
}
