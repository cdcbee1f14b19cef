// Helpers of the setup tests.
#include "setup_test_util.h"

#include <stdlib.h>
#include <string.h>

#include "setup/archive_core.h"
#include "setup/script.h"
#include "setup/script_vars.h"
#include "setup/setup_state.h"

std::string CrLf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

static std::vector<PageMessage> gMessages;
static std::vector<int> gAnswers;

void LoadScript(const std::string& text) {
    ResetSetupState();
    ClearVariables();
    for (int k = 0; k < kKwCount; k++)
        SetCommandHandler((Keyword)k, nullptr);
    gMessages.clear();
    gSetup.script = (char*)malloc(text.size() + 1);
    memcpy(gSetup.script, text.c_str(), text.size() + 1);
    gSetup.scriptLength = text.size();
}

static intptr_t FakePage(void*, unsigned msg, uintptr_t wParam, intptr_t lParam) {
    PageMessage m{msg, wParam, ""};
    if (msg == kMsgStatusText && lParam)
        m.text = (const char*)lParam;
    gMessages.push_back(m);
    if (msg != kMsgError)
        return 0;
    if (gAnswers.empty())
        return 1;
    int answer = gAnswers.front();
    gAnswers.erase(gAnswers.begin());
    return answer;
}

void OpenFakePage(const std::vector<int>& answers) {
    static int page;
    gAnswers = answers;
    gMessages.clear();
    gSetup.progressPage = &page;
    gSetup.sendToPage = FakePage;
}

const std::vector<PageMessage>& PageMessages() {
    return gMessages;
}

std::vector<PageMessage> PageMessagesOf(unsigned msg) {
    std::vector<PageMessage> out;
    for (const PageMessage& m : gMessages)
        if (m.msg == msg)
            out.push_back(m);
    return out;
}

std::string ArchiveRecord(const std::string& name, const std::string& data) {
    std::string r = name;
    r += '\0';
    uint32_t n = (uint32_t)data.size();
    for (int i = 0; i < 4; i++)
        r += (char)((n >> (8 * i)) & 0xFF);
    return r + data;
}

std::string ArchiveOf(const std::vector<std::pair<std::string, std::string>>& records, bool trailer) {
    std::string a = "<Setup Data Header>";
    for (const auto& r : records)
        a += ArchiveRecord(r.first, r.second);
    if (trailer)
        a += "<Setup Data End>";
    return a;
}
