// The dispatch of the actions: the action of an overlay letter, of the
// default action and of an Actions-page button, the flags it leaves, and
// the host's part around it (the main dialog shown or hidden, the hot keys
// let go while the editor is open).
#include "capture/actions/action_dispatch.h"

#include "capture/actions/actions.h"
#include "capture/actions/send_to.h"
#include "capture/app_texts.h"
#include "capture/editor/editor_dialog.h"
#include "capture/print/print.h"
#include "capture/resource.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "framework/app.h"
#include "framework/message_box.h"

static_assert((int)kPrintDone == (int)kActionDone && (int)kPrintNoImage == (int)kActionNoImage &&
                  (int)kPrintFailed == (int)kActionCancelled,
              "the dispatch reads PrintImage's codes as the actions' own");

namespace {

HWND gHostOwner = nullptr;
void (*gHostRequest)(int what) = nullptr;

void AskHost(int what) {
    if (gHostRequest)
        gHostRequest(what);
}

// One row per action: its number (the low byte of gOpt.DefAct), the letter
// that picks it in the overlay, its Actions-page button and what runs it
// (null: the image editor, opened as its button opens it).
struct ActionRow {
    int number;
    char letter;
    int button;
    int (*run)(HWND owner);
};
const ActionRow kActionRows[] = {
    {kActSaveAs, 'A', IDC_SAVE_AS, SaveImageAs}, {kActCopy, 'C', IDC_COPY, CopyToClipboard},
    {kActPrint, 'P', IDC_PRINT, PrintImage},     {kActSendTo, 'T', IDC_SEND_TO, SendImageTo},
    {kActSave, 'S', IDC_SAVE, SaveSequential},   {kActEdit, 'D', IDC_EDIT, nullptr},
};

const ActionRow* ActionOfLetter(int letter) {
    for (const ActionRow& row : kActionRows)
        if (row.letter == letter)
            return &row;
    return nullptr;
}

const ActionRow* ActionOfNumber(int number) {
    for (const ActionRow& row : kActionRows)
        if (row.number == number)
            return &row;
    return nullptr;
}

const ActionRow* ActionOfButton(int id) {
    for (const ActionRow& row : kActionRows)
        if (row.button == id)
            return &row;
    return nullptr;
}

// The default action when it is switched on, else null.
const ActionRow* DefaultAction() {
    if (!(gOpt.DefAct & kDefaultActionOn))
        return nullptr;
    return ActionOfNumber(gOpt.DefAct & kDefaultActionMask);
}

}  // namespace

void SetActionHost(HWND owner, void (*request)(int what)) {
    gHostOwner = owner;
    gHostRequest = request;
}

bool IsActionLetter(int letter) {
    return letter != 0 && ActionOfLetter(letter) != nullptr;
}

void RunAction(int letter) {
    const ActionRow* action = letter ? ActionOfLetter(letter) : DefaultAction();
    if (!action) {
        AskHost(kHostShowActions);
        return;
    }
    if (!action->run) {
        // The editor's OK sets the edited flag; it stays set, so that the
        // next capture asks before the edited image is lost.
        OnActionButton(action->button);
        return;
    }
    if (action->run(gHostOwner) != kActionDone) {
        AskHost(kHostShowActions);
        return;
    }
    if (action->number == kActSave)
        gSavedSequentially = true;
    gEdited = false;
}

void OnActionButton(int id) {
    if (!gImage.IsValid()) {
        AppMessageBox(gHostOwner, nullptr, "%s", kBoxErrorOk, 0, gApp.Text(IDS_CAPTURE_FIRST, 0));
        return;
    }
    if (id == IDC_EDIT || id == IDC_AUTOCROP) {
        AskHost(kHostEditorOpens);
        if (RunImageEditor(gHostOwner, id == IDC_AUTOCROP ? 1 : 0) == IDOK) {
            gEdited = true;
            gSavedSequentially = false;
        }
        AskHost(kHostShowActions);
        AskHost(kHostEditorClosed);
        return;
    }
    const ActionRow* action = ActionOfButton(id);
    if (!action)
        return;
    if (action->number == kActSave && gSavedSequentially)
        return;  // this capture already has its numbered file
    if (action->run(gHostOwner) != kActionDone)
        return;
    if (gOpt.AutoHide == 1)
        AskHost(kHostHide);
    gEdited = false;
    if (action->number == kActSave)
        gSavedSequentially = true;
}
