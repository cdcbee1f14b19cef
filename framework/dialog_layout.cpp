// Dialog layout: anchor modes applied in units of a reference item.
#include "dialog_layout.h"

// The attach-time unit of one axis: the reference item's size, or one pixel
// when it was zero (so a zero-size reference never divides by zero).
static double AttachUnit(LONG size) {
    return size > 0 ? (double)size : 1.0;
}

// Truncates to whole pixels. The tiny bias absorbs the representation error
// of fractions times the same unit (30 / 7 * 7), so an unchanged unit gives
// exact pixels; NaN and absurd values are bounded.
static int ToPixel(double v) {
    if (!(v == v))
        return 0;
    v += v < 0 ? -1e-6 : 1e-6;
    if (v > 1e7)
        return 10000000;
    if (v < -1e7)
        return -10000000;
    return (int)v;
}

bool CDialogLayout::Attach(HWND dialog, int referenceId) {
    if (!IsWindow(dialog))
        return false;
    dialog_ = dialog;
    referenceId_ = referenceId;
    GetClientRect(dialog, &dialogRect_);
    SetRectEmpty(&referenceRect_);
    HWND ref = GetDlgItem(dialog, referenceId);
    if (!ref)
        return false;
    GetClientRect(ref, &referenceRect_);
    return true;
}

// The current unit per axis: the reference item's current size; its attach
// size while it is now zero; one pixel when it was zero at attach.
void CDialogLayout::Units(double* ux, double* uy) const {
    LONG w0 = referenceRect_.right - referenceRect_.left, h0 = referenceRect_.bottom - referenceRect_.top;
    RECT rc = {};
    HWND ref = GetDlgItem(dialog_, referenceId_);
    if (ref)
        GetClientRect(ref, &rc);
    *ux = w0 <= 0 ? 1.0 : rc.right > 0 ? (double)rc.right : (double)w0;
    *uy = h0 <= 0 ? 1.0 : rc.bottom > 0 ? (double)rc.bottom : (double)h0;
}

bool CDialogLayout::AddControl(int itemId, uint32_t mode) {
    if (!dialog_)
        return false;
    HWND hwnd = GetDlgItem(dialog_, itemId);
    if (!hwnd)
        return false;
    RECT rc;
    GetWindowRect(hwnd, &rc);
    MapWindowPoints(nullptr, dialog_, (POINT*)&rc, 2);
    double ux = AttachUnit(referenceRect_.right - referenceRect_.left);
    double uy = AttachUnit(referenceRect_.bottom - referenceRect_.top);
    double dialogW = dialogRect_.right - dialogRect_.left, dialogH = dialogRect_.bottom - dialogRect_.top;
    Entry e = {};
    e.hwnd = hwnd;
    e.mode = mode;
    e.left = rc.left / ux;
    e.top = rc.top / uy;
    e.width = (rc.right - rc.left) / ux;
    e.height = (rc.bottom - rc.top) / uy;
    e.leftOffset = e.left;
    e.topOffset = e.top;
    e.rightMargin = (dialogW - rc.right) / ux;
    e.bottomMargin = (dialogH - rc.bottom) / uy;
    if (mode == kLayoutAfterPrevious) {
        // Distances from the window before it; from the client origin when
        // it is the first.
        HWND prev = GetWindow(hwnd, GW_HWNDPREV);
        if (prev) {
            RECT pr;
            GetWindowRect(prev, &pr);
            MapWindowPoints(nullptr, dialog_, (POINT*)&pr, 2);
            e.leftOffset = (rc.left - pr.left) / ux;
            e.topOffset = (rc.top - pr.top) / uy;
        }
    }
    return entries_.Add(&e) >= 0;
}

void CDialogLayout::Apply() {
    if (!dialog_ || !IsWindow(dialog_))
        return;
    RECT client;
    GetClientRect(dialog_, &client);
    double W = client.right, H = client.bottom;
    double W0 = dialogRect_.right - dialogRect_.left, H0 = dialogRect_.bottom - dialogRect_.top;
    double w, h;
    Units(&w, &h);
    const UINT moveFlags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
    const UINT sizeFlags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
    for (int i = 0; i < entries_.count; i++) {
        const Entry& e = *entries_.At(i);
        if (!IsWindow(e.hwnd) || GetParent(e.hwnd) != dialog_)
            continue;
        double xRight = W - (e.rightMargin + e.width) * w;
        double yBottom = H - (e.bottomMargin + e.height) * h;
        double sizeW = W - (e.rightMargin + e.leftOffset) * w;
        switch (e.mode) {
            case kLayoutSize:
                SetWindowPos(e.hwnd, nullptr, 0, 0, ToPixel(sizeW), ToPixel(H - (e.bottomMargin + e.topOffset) * h),
                             sizeFlags);
                break;
            case kLayoutSizeWidth:
                SetWindowPos(e.hwnd, nullptr, 0, 0, ToPixel(sizeW), ToPixel(h * e.height), sizeFlags);
                break;
            case kLayoutBottom:
                SetWindowPos(e.hwnd, nullptr, ToPixel(w * e.leftOffset), ToPixel(yBottom), 0, 0, moveFlags);
                break;
            case kLayoutRight:
                SetWindowPos(e.hwnd, nullptr, ToPixel(xRight), ToPixel(h * e.topOffset), 0, 0, moveFlags);
                break;
            case kLayoutBottomRight:
                SetWindowPos(e.hwnd, nullptr, ToPixel(xRight), ToPixel(yBottom), 0, 0, moveFlags);
                break;
            case kLayoutCentreX: {
                // The centre keeps its fraction of the width; with an empty
                // dialog at attach there is no fraction: the offset is kept.
                double x =
                    W0 > 0 ? W * (e.width * 0.5 + e.leftOffset) / (W0 / w) - e.width * w * 0.5 : w * e.leftOffset;
                SetWindowPos(e.hwnd, nullptr, ToPixel(x), ToPixel(yBottom), 0, 0, moveFlags);
                break;
            }
            case kLayoutCentreY: {
                double y =
                    H0 > 0 ? H * (e.height * 0.5 + e.topOffset) / (H0 / h) - e.height * h * 0.5 : h * e.topOffset;
                SetWindowPos(e.hwnd, nullptr, ToPixel(xRight), ToPixel(y), 0, 0, moveFlags);
                break;
            }
            case kLayoutAfterPrevious: {
                RECT pr = {};
                HWND prev = GetWindow(e.hwnd, GW_HWNDPREV);
                if (prev) {
                    GetWindowRect(prev, &pr);
                    MapWindowPoints(nullptr, dialog_, (POINT*)&pr, 2);
                }
                SetWindowPos(e.hwnd, nullptr, ToPixel(pr.left + w * e.leftOffset), ToPixel(pr.top + h * e.topOffset), 0,
                             0, moveFlags);
                break;
            }
            default:
                break;
        }
        RedrawWindow(e.hwnd, nullptr, nullptr, RDW_FRAME | RDW_INTERNALPAINT | RDW_INVALIDATE);
    }
}
