// Setup's messages: string-table texts with variables substituted, and the
// message of each result code.
#pragma once
#include <windows.h>

// The owner that asks ErrorMessage for the message's string id only.
#define kNoMessageBox ((HWND)(INT_PTR)-1)

// Text id of the string table, variables substituted (cch characters).
// False when the id has no text.
bool LoadSetupText(int id, char* out, size_t cch);
// Shows the message of a result code in a message box with the stop icon
// and the caption "#SETUPMODE#" and returns the button pressed; with the
// owner kNoMessageBox it shows nothing and returns the message's string id.
int ErrorMessage(HWND owner, int code);
// A message box of a string-table text (substituted) with that style.
int SetupMessageBox(HWND owner, int id, UINT style);
