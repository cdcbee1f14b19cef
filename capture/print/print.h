// Printing the current image: the printer list (filled by a worker thread
// when the Print page is created), each printer's device settings, and the
// Print action. GUI thread only, but for PrinterListThread.
#pragma once
#include <windows.h>

// At most this many printers are listed.
constexpr int kMaxPrinters = 64;
// To the Print page: the worker's printer list is ready to be shown.
constexpr UINT kMsgPrintersListed = WM_APP + 40;

// What PrintImage returns (the actions' codes of the same meaning: -1 is
// cancelled by the user or failed).
enum : int { kPrintDone = 0, kPrintNoImage = 1, kPrintFailed = -1, kPrintCancelled = -1 };

// The action: kPrintNoImage; kPrintDone printed; kPrintCancelled the user
// cancelled the job (silently: the image counts as not used); kPrintFailed
// after a message (no printer, printer error, also when ending the page or
// the document fails, margins leaving no room). owner owns the messages
// and the clipboard read for the header and footer.
int PrintImage(HWND owner);

// Makes sure the row's device settings exist (copied from the driver on
// first use, owner being the driver's parent window) and sets their
// orientation from gOpt.PrtOrientation and the image. The settings (owned
// here until FreePrinterList), or null.
DEVMODEA* PrinterSettings(HWND owner, int row);

// Enumerates the printers. With a non-null parameter it runs inline and
// hands the list over at once; as a thread it leaves the list for the GUI
// thread and posts kMsgPrintersListed to the page given to
// StartPrinterList. Returns 0.
DWORD WINAPI PrinterListThread(LPVOID inlineFlag);
// Starts the enumeration for the Print page (inline when no thread starts).
void StartPrinterList(HWND page);
// GUI thread: takes over a finished list and fills the combo (item data =
// row), selecting the stored printer, else the default one.
void AdoptPrinterList(HWND combo);
// Waits for a running enumeration, then frees the names and settings.
void FreePrinterList();

// The selected row, or -1; its name ("" for none).
int SelectedPrinter();
void SelectPrinter(int row);
const char* PrinterName(int row);
