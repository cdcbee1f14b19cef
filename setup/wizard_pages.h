// What the wizard's frame and pages share: the frame's state, the page
// record, page changes and the helpers every page uses. Main thread only.
#pragma once
#include <windows.h>

#include "hyperlink.h"

// Sent by the frame to the current page after a DPI change: set the fonts again.
constexpr UINT kMsgFontsChanged = WM_USER + 99;

struct WizardState {
    HWND frame;
    HWND page;  // the current page
    HFONT titleFont, boldFont, linkFont;
    int startDpi;  // the frame's DPI when it opened; fonts scale by dpi / startDpi
};
extern WizardState gWizard;

// One per page, in DWLP_USER; freed when the page is destroyed.
struct PageRecord {
    int id;                // the page's dialog id
    bool finished;         // progress pages: phase 1 has finished
    Hyperlink webLink;     // control 1031
    Hyperlink folderLink;  // control 1036 of the uninstall finish page
};

// (Re)creates the three fonts for dpi; the old ones are deleted first.
void CreateUiFonts(int dpi);
void DeleteUiFonts();
// Replaces the variables in the texts of window and its controls (each
// read up to 260 characters); the default push button gets the bold font.
void SubstituteDialogTexts(HWND window);
// Creates page id as the frame's current page and destroys from (if any).
void OpenPage(HWND from, int id);
// Ends the frame dialog; cancelled: the wizard was quit (a running worker stops).
void EndWizard(bool cancelled);
// A string-table message (substituted, caption "#SETUPMODE#") in front of owner.
int WizardMessage(HWND owner, int id, UINT style);
// Messages every page handles alike (creation, colours, the icon, fonts,
// destruction). True when handled; *result is the dialog procedure's value.
bool HandlePageMessage(HWND page, UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result);
PageRecord* PageOf(HWND page);
// A dialog procedure's answer to a sent message.
INT_PTR DialogAnswer(HWND dialog, LRESULT answer);
// The text of an edit made an absolute path without trailing backslashes
// (cch characters). False, after message 1039 with the text selected and
// focused, when it is not absolute.
bool GetAbsolutePathFromEdit(HWND dialog, int edit, char* path, size_t cch);

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp);
INT_PTR CALLBACK AgreementPageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp);
INT_PTR CALLBACK FolderPageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp);
INT_PTR CALLBACK ProgressPageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp);
INT_PTR CALLBACK FinishedPageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp);
