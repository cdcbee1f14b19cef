// Dialog layout on a real resizable dialog made from an in-memory template:
// each anchor mode keeps its geometry across several sizes, including the
// Z-order-relative mode, a reference item that grows and one of zero size.
#include "framework/dialog_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/str_util.h"

namespace {

constexpr int IDC_LT_REF = 1100, IDC_LT_SIZE = 1101, IDC_LT_WIDTH = 1102, IDC_LT_BOTTOM = 1103, IDC_LT_RIGHT = 1104,
              IDC_LT_CORNER = 1105, IDC_LT_CENTREX = 1106, IDC_LT_CENTREY = 1107, IDC_LT_AFTER = 1108,
              IDC_LT_FIXED = 1109;

struct ExpectedItem {
    int id;
    short x, y, cx, cy;  // dialog units
};

// The reference item first, then one control per mode; IDC_LT_AFTER follows
// IDC_LT_CORNER in Z-order.
const ExpectedItem kItems[] = {
    {IDC_LT_REF, 4, 4, 16, 8},         {IDC_LT_SIZE, 10, 20, 120, 60},    {IDC_LT_WIDTH, 10, 90, 120, 14},
    {IDC_LT_BOTTOM, 10, 130, 40, 12},  {IDC_LT_RIGHT, 180, 20, 40, 12},   {IDC_LT_CENTREX, 90, 110, 40, 12},
    {IDC_LT_CENTREY, 180, 60, 40, 12}, {IDC_LT_CORNER, 180, 130, 40, 12}, {IDC_LT_AFTER, 185, 145, 30, 10},
    {IDC_LT_FIXED, 150, 40, 20, 10},
};

// Builds a DLGTEMPLATE with DS_SETFONT (point size pt) and static items.
std::vector<WORD> MakeTemplate(WORD pt, short refCx, short refCy) {
    std::vector<WORD> t;
    auto dword = [&](DWORD v) {
        t.push_back(LOWORD(v));
        t.push_back(HIWORD(v));
    };
    auto str = [&](const char* s) {
        do
            t.push_back((WORD)(unsigned char)*s);
        while (*s++);
    };
    dword(DS_SETFONT | WS_POPUP | WS_CAPTION | WS_THICKFRAME | WS_SYSMENU);
    dword(0);
    t.push_back((WORD)countof(kItems));
    t.push_back(0);
    t.push_back(0);
    t.push_back(240);
    t.push_back(170);
    t.push_back(0);  // no menu
    t.push_back(0);  // default class
    str("layout");
    t.push_back(pt);
    str("MS Shell Dlg");
    for (const ExpectedItem& it : kItems) {
        if (t.size() % 2)
            t.push_back(0);  // items start on a DWORD boundary
        dword(WS_CHILD | WS_VISIBLE | SS_BLACKFRAME);
        dword(0);
        bool ref = it.id == IDC_LT_REF;
        t.push_back((WORD)it.x);
        t.push_back((WORD)it.y);
        t.push_back((WORD)(ref ? refCx : it.cx));
        t.push_back((WORD)(ref ? refCy : it.cy));
        t.push_back((WORD)it.id);
        t.push_back(0xFFFF);
        t.push_back(0x0082);  // static
        str("");
        t.push_back(0);  // no creation data
    }
    return t;
}

INT_PTR CALLBACK LayoutDlgProc(HWND dlg, UINT msg, WPARAM, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dlg, DWLP_USER, lp);
            return TRUE;
        case WM_SIZE: {
            CDialogLayout* layout = (CDialogLayout*)GetWindowLongPtrA(dlg, DWLP_USER);
            if (layout)
                layout->Apply();
            return TRUE;
        }
    }
    return FALSE;
}

struct LayoutDialog {
    HWND dlg = nullptr;
    CDialogLayout layout;
    explicit LayoutDialog(WORD pt = 8, short refCx = 16, short refCy = 8) {
        std::vector<WORD> t = MakeTemplate(pt, refCx, refCy);
        dlg = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), (LPCDLGTEMPLATEA)t.data(), nullptr, LayoutDlgProc,
                                         (LPARAM)&layout);
        if (dlg) {
            SetWindowPos(dlg, HWND_TOPMOST, 20, 20, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        }
    }
    ~LayoutDialog() {
        if (dlg)
            DestroyWindow(dlg);
    }
    RECT Rect(int id) const {
        RECT rc = {};
        HWND h = GetDlgItem(dlg, id);
        GetWindowRect(h, &rc);
        MapWindowPoints(nullptr, dlg, (POINT*)&rc, 2);
        return rc;
    }
    SIZE Client() const {
        RECT rc;
        GetClientRect(dlg, &rc);
        return {rc.right, rc.bottom};
    }
    // Grows the window so that the client area grows by dx, dy.
    void Grow(int dx, int dy) {
        RECT wr;
        GetWindowRect(dlg, &wr);
        SetWindowPos(dlg, nullptr, 0, 0, wr.right - wr.left + dx, wr.bottom - wr.top + dy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    void AddAll() {
        const std::pair<int, uint32_t> modes[] = {
            {IDC_LT_SIZE, kLayoutSize},          {IDC_LT_WIDTH, kLayoutSizeWidth},     {IDC_LT_BOTTOM, kLayoutBottom},
            {IDC_LT_RIGHT, kLayoutRight},        {IDC_LT_CENTREX, kLayoutCentreX},     {IDC_LT_CENTREY, kLayoutCentreY},
            {IDC_LT_CORNER, kLayoutBottomRight}, {IDC_LT_AFTER, kLayoutAfterPrevious}, {IDC_LT_FIXED, 0x4},
        };
        for (auto& m : modes)
            EXPECT_TRUE(layout.AddControl(m.first, m.second)) << m.first;
    }
    std::vector<HWND> ZOrder() const {
        std::vector<HWND> v;
        for (HWND h = GetWindow(dlg, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
            v.push_back(h);
        return v;
    }
};

int Width(const RECT& r) {
    return r.right - r.left;
}
int Height(const RECT& r) {
    return r.bottom - r.top;
}

// Anchoring with an unchanged reference item: what each mode keeps, in
// pixels, measured against the geometry at attach time.
void ExpectAnchored(const LayoutDialog& d, const std::vector<RECT>& r0, SIZE c0) {
    SIZE c = d.Client();
    auto at = [&](int id) { return d.Rect(id); };
    auto was = [&](int id) { return r0[id - IDC_LT_REF]; };
    SCOPED_TRACE(std::to_string(c.cx) + "x" + std::to_string(c.cy));
    // 1: left and top kept, right and bottom margins kept.
    RECT s = at(IDC_LT_SIZE), s0 = was(IDC_LT_SIZE);
    EXPECT_EQ(s.left, s0.left);
    EXPECT_EQ(s.top, s0.top);
    EXPECT_EQ(c.cx - s.right, c0.cx - s0.right);
    EXPECT_EQ(c.cy - s.bottom, c0.cy - s0.bottom);
    // 2: right margin kept, height kept.
    RECT w = at(IDC_LT_WIDTH), w0 = was(IDC_LT_WIDTH);
    EXPECT_EQ(w.left, w0.left);
    EXPECT_EQ(w.top, w0.top);
    EXPECT_EQ(c.cx - w.right, c0.cx - w0.right);
    EXPECT_EQ(Height(w), Height(w0));
    // 8: left kept, bottom margin kept, size kept.
    RECT b = at(IDC_LT_BOTTOM), b0 = was(IDC_LT_BOTTOM);
    EXPECT_EQ(b.left, b0.left);
    EXPECT_EQ(c.cy - b.bottom, c0.cy - b0.bottom);
    EXPECT_EQ(Width(b), Width(b0));
    EXPECT_EQ(Height(b), Height(b0));
    // 16: right margin and top kept.
    RECT rt = at(IDC_LT_RIGHT), rt0 = was(IDC_LT_RIGHT);
    EXPECT_EQ(c.cx - rt.right, c0.cx - rt0.right);
    EXPECT_EQ(rt.top, rt0.top);
    EXPECT_EQ(Width(rt), Width(rt0));
    // 32: both margins.
    RECT k = at(IDC_LT_CORNER), k0 = was(IDC_LT_CORNER);
    EXPECT_EQ(c.cx - k.right, c0.cx - k0.right);
    EXPECT_EQ(c.cy - k.bottom, c0.cy - k0.bottom);
    EXPECT_EQ(Width(k), Width(k0));
    EXPECT_EQ(Height(k), Height(k0));
    // 64: centre at the same fraction of the width (within the truncation),
    // bottom margin kept.
    RECT cx = at(IDC_LT_CENTREX), cx0 = was(IDC_LT_CENTREX);
    double fx0 = (cx0.left + cx0.right) / 2.0 / c0.cx;
    EXPECT_NEAR((cx.left + cx.right) / 2.0, fx0 * c.cx, 1.0);
    EXPECT_EQ(c.cy - cx.bottom, c0.cy - cx0.bottom);
    EXPECT_EQ(Width(cx), Width(cx0));
    // 128: centre at the same fraction of the height, right margin kept.
    RECT cy = at(IDC_LT_CENTREY), cy0 = was(IDC_LT_CENTREY);
    double fy0 = (cy0.top + cy0.bottom) / 2.0 / c0.cy;
    EXPECT_NEAR((cy.top + cy.bottom) / 2.0, fy0 * c.cy, 1.0);
    EXPECT_EQ(c.cx - cy.right, c0.cx - cy0.right);
    EXPECT_EQ(Height(cy), Height(cy0));
    // 256: the same offset from the control before it, which moved.
    RECT a = at(IDC_LT_AFTER), a0 = was(IDC_LT_AFTER);
    EXPECT_EQ(a.left - k.left, a0.left - k0.left);
    EXPECT_EQ(a.top - k.top, a0.top - k0.top);
    EXPECT_EQ(Width(a), Width(a0));
    // Any other mode: untouched.
    RECT f = at(IDC_LT_FIXED), f0 = was(IDC_LT_FIXED);
    EXPECT_TRUE(EqualRect(&f, &f0));
}

std::vector<RECT> Snapshot(const LayoutDialog& d) {
    std::vector<RECT> v;
    for (int id = IDC_LT_REF; id <= IDC_LT_FIXED; id++)
        v.push_back(d.Rect(id));
    return v;
}

}  // namespace

TEST(DialogLayout, AnchorModesKeepTheirGeometryAcrossSizes) {
    LayoutDialog d;
    ASSERT_TRUE(d.dlg);
    ASSERT_TRUE(d.layout.Attach(d.dlg, IDC_LT_REF));
    d.AddAll();
    EXPECT_EQ(d.layout.Count(), 9);
    EXPECT_FALSE(d.layout.AddControl(4242, kLayoutSize));  // no such item
    std::vector<RECT> r0 = Snapshot(d);
    SIZE c0 = d.Client();
    std::vector<HWND> z0 = d.ZOrder();

    // One hundred pixels more each way: a mode-1 control grows by 100 each
    // way, a mode-32 control moves 100 right and down.
    d.Grow(100, 100);
    SIZE c = d.Client();
    ASSERT_EQ(c.cx, c0.cx + 100);
    ASSERT_EQ(c.cy, c0.cy + 100);
    RECT s = d.Rect(IDC_LT_SIZE), s0 = r0[IDC_LT_SIZE - IDC_LT_REF];
    EXPECT_EQ(Width(s), Width(s0) + 100);
    EXPECT_EQ(Height(s), Height(s0) + 100);
    RECT k = d.Rect(IDC_LT_CORNER), k0 = r0[IDC_LT_CORNER - IDC_LT_REF];
    EXPECT_EQ(k.left, k0.left + 100);
    EXPECT_EQ(k.top, k0.top + 100);
    ExpectAnchored(d, r0, c0);

    // Further sizes, larger and smaller, odd steps; and back to the start.
    const int steps[][2] = {{37, -11}, {-150, -60}, {213, 171}, {-3, 1}};
    for (auto& st : steps) {
        d.Grow(st[0], st[1]);
        ExpectAnchored(d, r0, c0);
    }
    RECT wr;
    GetWindowRect(d.dlg, &wr);
    SIZE now = d.Client();
    d.Grow(c0.cx - now.cx, c0.cy - now.cy);
    std::vector<RECT> back = Snapshot(d);
    for (size_t i = 0; i < back.size(); i++)
        EXPECT_TRUE(EqualRect(&back[i], &r0[i])) << i;
    EXPECT_EQ(d.ZOrder(), z0);  // moves and resizes keep the Z-order
    d.layout.Clear();
    EXPECT_EQ(d.layout.Count(), 0);
}

TEST(DialogLayout, DistancesGrowWithTheReferenceItem) {
    LayoutDialog d;
    ASSERT_TRUE(d.dlg);
    ASSERT_TRUE(d.layout.Attach(d.dlg, IDC_LT_REF));
    d.AddAll();
    std::vector<RECT> r0 = Snapshot(d);
    SIZE c0 = d.Client();
    auto was = [&](int id) { return r0[id - IDC_LT_REF]; };
    // The reference item doubles (as with a font twice the size): every
    // distance measured in its units doubles.
    HWND ref = GetDlgItem(d.dlg, IDC_LT_REF);
    RECT rr0;
    GetClientRect(ref, &rr0);
    SetWindowPos(ref, nullptr, 0, 0, Width(was(IDC_LT_REF)) + rr0.right, Height(was(IDC_LT_REF)) + rr0.bottom,
                 SWP_NOMOVE | SWP_NOZORDER);
    RECT rr;
    GetClientRect(ref, &rr);
    ASSERT_EQ(rr.right, 2 * rr0.right);
    ASSERT_EQ(rr.bottom, 2 * rr0.bottom);
    d.Grow(60, 40);
    SIZE c = d.Client();
    RECT b = d.Rect(IDC_LT_BOTTOM), b0 = was(IDC_LT_BOTTOM);
    EXPECT_EQ(b.left, 2 * b0.left);
    // The bottom margin doubles, measured to a bottom edge whose height also
    // counts in units (the control itself keeps its size).
    EXPECT_EQ(c.cy - b.top, 2 * (c0.cy - b0.top));
    RECT rt = d.Rect(IDC_LT_RIGHT), rt0 = was(IDC_LT_RIGHT);
    EXPECT_EQ(rt.top, 2 * rt0.top);
    EXPECT_EQ(c.cx - rt.left, 2 * (c0.cx - rt0.left));
    RECT w = d.Rect(IDC_LT_WIDTH), w0 = was(IDC_LT_WIDTH);
    EXPECT_EQ(Height(w), 2 * Height(w0));
    EXPECT_EQ(w.left, w0.left);  // size only: not moved
    EXPECT_EQ(Width(w), c.cx - 2 * (c0.cx - w0.right + w0.left));
    RECT k = d.Rect(IDC_LT_CORNER), a = d.Rect(IDC_LT_AFTER), k0 = was(IDC_LT_CORNER), a0 = was(IDC_LT_AFTER);
    EXPECT_EQ(a.left - k.left, 2 * (a0.left - k0.left));
    EXPECT_EQ(a.top - k.top, 2 * (a0.top - k0.top));
}

TEST(DialogLayout, ZeroSizeReferenceCountsInPixels) {
    // A reference item of zero size at attach: every axis counts in pixels,
    // so the controls are anchored exactly as with an unchanged reference
    // (instead of positions made from infinities).
    {
        LayoutDialog d(8, 0, 0);
        ASSERT_TRUE(d.dlg);
        RECT rr;
        GetClientRect(GetDlgItem(d.dlg, IDC_LT_REF), &rr);
        ASSERT_EQ(rr.right, 0);
        ASSERT_EQ(rr.bottom, 0);
        ASSERT_TRUE(d.layout.Attach(d.dlg, IDC_LT_REF));
        d.AddAll();
        std::vector<RECT> r0 = Snapshot(d);
        SIZE c0 = d.Client();
        d.Grow(100, 100);
        ExpectAnchored(d, r0, c0);
        d.Grow(-130, -70);
        ExpectAnchored(d, r0, c0);
    }
    // Zero width only, and a missing reference item: the same.
    {
        LayoutDialog d(8, 0, 8);
        ASSERT_TRUE(d.dlg);
        ASSERT_TRUE(d.layout.Attach(d.dlg, IDC_LT_REF));
        d.AddAll();
        std::vector<RECT> r0 = Snapshot(d);
        SIZE c0 = d.Client();
        d.Grow(77, 55);
        ExpectAnchored(d, r0, c0);
    }
    {
        LayoutDialog d;
        ASSERT_TRUE(d.dlg);
        EXPECT_FALSE(d.layout.Attach(d.dlg, 4242));
        d.AddAll();
        std::vector<RECT> r0 = Snapshot(d);
        SIZE c0 = d.Client();
        d.Grow(100, 100);
        ExpectAnchored(d, r0, c0);
    }
    // A reference that shrinks to nothing after attach: its attach size
    // stays the unit.
    {
        LayoutDialog d;
        ASSERT_TRUE(d.dlg);
        ASSERT_TRUE(d.layout.Attach(d.dlg, IDC_LT_REF));
        d.AddAll();
        std::vector<RECT> r0 = Snapshot(d);
        SIZE c0 = d.Client();
        SetWindowPos(GetDlgItem(d.dlg, IDC_LT_REF), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER);
        d.Grow(100, 100);
        ExpectAnchored(d, r0, c0);
    }
}

TEST(DialogLayout, LargerFontScalesTheSameLayout) {
    // The same template at twice the font: the reference item is larger,
    // and the layout still keeps the anchors of that dialog.
    LayoutDialog d(16);
    ASSERT_TRUE(d.dlg);
    RECT rr;
    GetClientRect(GetDlgItem(d.dlg, IDC_LT_REF), &rr);
    LayoutDialog small;
    RECT rs;
    GetClientRect(GetDlgItem(small.dlg, IDC_LT_REF), &rs);
    EXPECT_GT(rr.right, rs.right);
    ASSERT_TRUE(d.layout.Attach(d.dlg, IDC_LT_REF));
    d.AddAll();
    std::vector<RECT> r0 = Snapshot(d);
    SIZE c0 = d.Client();
    d.Grow(90, 45);
    ExpectAnchored(d, r0, c0);
}

TEST(DialogLayout, DetachedOrDestroyedIsHarmless) {
    CDialogLayout layout;
    layout.Apply();  // nothing attached
    EXPECT_FALSE(layout.AddControl(IDC_LT_SIZE, kLayoutSize));
    EXPECT_FALSE(layout.Attach(nullptr, IDC_LT_REF));
    {
        LayoutDialog d;
        ASSERT_TRUE(layout.Attach(d.dlg, IDC_LT_REF));
        EXPECT_TRUE(layout.AddControl(IDC_LT_SIZE, kLayoutSize));
    }
    layout.Apply();  // the dialog is gone
    EXPECT_EQ(layout.Count(), 1);
}
