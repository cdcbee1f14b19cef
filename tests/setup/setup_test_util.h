// Helpers of the setup tests: scripts written with LF turned into the CR LF
// text the interpreter reads, a clean interpreter state per test, a stand-in
// for the progress page that records what it is sent, and archives built in
// memory.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

// Lines joined with CR LF (each '\n' of text becomes "\r\n").
std::string CrLf(const std::string& text);

// Clears the run state, the variables and every platform handler, then
// makes text (as given, no line-end change) the script.
void LoadScript(const std::string& text);

// One message the progress page stand-in received.
struct PageMessage {
    unsigned msg;
    uintptr_t wParam;
    std::string text;  // the lParam text of kMsgStatusText
};
// Opens the stand-in page: gSetup.progressPage is set and every message is
// recorded. Answers to kMsgError are taken from answers in order (then 1).
void OpenFakePage(const std::vector<int>& answers = {});
const std::vector<PageMessage>& PageMessages();
// The recorded messages of one kind.
std::vector<PageMessage> PageMessagesOf(unsigned msg);

// An archive record and an archive: header, records, trailer.
std::string ArchiveRecord(const std::string& name, const std::string& data);
std::string ArchiveOf(const std::vector<std::pair<std::string, std::string>>& records, bool trailer = true);
