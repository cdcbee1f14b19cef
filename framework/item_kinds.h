// The plain item kinds: buttons, static captions (with inline icon and
// progress bar), and separators.
#pragma once
#include "ui_item.h"

class CButton : public CUIItem {
  public:
    CButton() { kind = kKindButton; }
    void Paint(HDC dc, const RECT& rc) override;
};

class CStatic : public CUIItem {
  public:
    CStatic() { kind = kKindStatic; }
    void Paint(HDC dc, const RECT& rc) override;
    void OnSize() override;
};

class CSeparator : public CUIItem {
  public:
    CSeparator() { kind = kKindSeparator; }
    void Measure(const CommandInfo* cmd, int orientation) override;
    void Paint(HDC dc, const RECT& rc) override;
};

// A static's text prefixes: "#n" an icon, then "@p" a progress percent.
// Returns the label after them; icon 0 and progress -1 when absent.
const char* ParseStaticText(const char* text, int* icon, int* progress);
