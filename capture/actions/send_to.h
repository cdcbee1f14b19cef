// Send To: the targets (the shell's Send-To folder, an external image
// editor, the word processor over DDE), the Send To action and the
// owner-drawn menu that asks for a target. GUI thread only, but for
// InsertPictureThread.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include "base/str_util.h"

// A target's kind.
enum : int { kSendShellItem = 0, kSendEditor = 1, kSendWord = 2 };

struct SendToTarget {
    LPITEMIDLIST item;  // child of the Send-To folder (kind 0 only), freed with the shell allocator
    int kind;
    int icon;  // kind 0: system small-icon list index; else tab image list index (8, 9)
    char name[260];
};

constexpr int kMaxShellTargets = 32;
constexpr int kMaxSendTargets = kMaxShellTargets + 2;
// The target text that asks at every send.
extern const char kAskForDestination[];

extern SendToTarget gSendTo[kMaxSendTargets];
extern int gSendToCount;
extern HIMAGELIST gSendToIcons;  // the system small-icon list (not ours to destroy), or 0

// Lists up to 32 items of the Send-To folder plus "Image Editor" and
// "MS Word", sorted by name without case. Initialises OLE for the program;
// FreeSendToList undoes both, and deletes the files of word processor
// sends given up whose threads still run (the program is ending).
void BuildSendToList();
void FreeSendToList();
// The target of that name (case ignored), or null.
const SendToTarget* FindSendTarget(const char* name);

// The action: 0 done, 1 no image, -1 the target menu was dismissed (or
// the program quit while the word processor was asked), 3
// failed (after a message, or silently when the stored target is gone).
// A send to the word processor gets a file of its own (the written file
// renamed to "<name>-<n><extension>"), deleted when the conversation ends.
// owner owns the messages and the target menu: it receives the menu's
// WM_MEASUREITEM and WM_DRAWITEM.
int SendImageTo(HWND owner);

// DropOnSendToTarget's results.
enum : int { kDropDone = 0, kDropNoTarget = 1, kDropNoData = 2, kDropFailed = 3 };
// Drops the file on the Send-To item of that name, offering copy, move and
// link.
int DropOnSendToTarget(HWND owner, const char* path, const char* name);
// The drop itself: DragEnter offering copy, move and link, then Drop when
// the target takes one of them (kDropDone, or kDropFailed when Drop fails);
// otherwise DragLeave and kDropNoTarget.
int DropDataOnTarget(IDropTarget* target, IDataObject* data);

// A send to the word processor is running; SendImageTo refuses meanwhile
// (message 5200, result 3).
bool WordSendRunning();

// One send to the word processor, shared by the GUI thread and the
// conversation's thread, one reference each: whoever lets go last deletes
// the file and frees the record, so that the GUI thread may stop waiting
// (a top-level window that does not answer the connect, a quit) and leave
// the thread behind.
enum : LONG { kWordConnecting = 0, kWordConnected = 1, kWordInserted = 2, kWordFailed = 3 };
struct WordSend {
    volatile LONG refs;
    volatile LONG stage;      // kWordConnecting .. kWordFailed, set by the thread
    volatile LONG abandoned;  // set by the GUI thread: send nothing more
    char path[kCchPath2];
};
// A record with both references for the file at path, or null.
WordSend* NewWordSend(const char* path);
void ReleaseWordSend(WordSend* send);

// Thread routine: asks the word processor (DDE service "WINWORD", topic
// "System") to insert the picture at send->path, then lets go of its
// reference. Exit code 0 done, 1 failed.
DWORD WINAPI InsertPictureThread(LPVOID send);

// The owner's WM_MEASUREITEM and WM_DRAWITEM for the target menu, at the
// owner's dpi; the fixed targets' icons come from tabIcons (indices 8, 9).
// False when the item is not one of its entries.
bool MeasureSendMenuItem(HWND owner, UINT dpi, MEASUREITEMSTRUCT* item);
bool DrawSendMenuItem(UINT dpi, HIMAGELIST tabIcons, const DRAWITEMSTRUCT* item);
