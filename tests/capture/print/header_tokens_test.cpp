// The header and footer tokens with this system's values: the clipboard
// (text, a bitmap only, long text cut), computer and user name, the user's
// date format, an image never saved and the running number.
#include <windows.h>
// The headers below need windows.h first.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "base/str_util.h"
#include "capture/capture_test_util.h"
#include "capture/print/header_tokens.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"

namespace {

std::string Expand(const char* tpl) {
    char out[1040];
    ExpandTokens(nullptr, tpl, out, sizeof out);
    return out;
}

}  // namespace

TEST(HeaderTokens, ClipboardTextABitmapOnlyAndLongText) {
    InitCaptureApp();
    ASSERT_TRUE(PutOnClipboard(CF_TEXT, TextBlock("from the clipboard")));
    EXPECT_EQ(Expand("[%B]"), "[from the clipboard]");

    HGLOBAL dib = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(BITMAPINFOHEADER) + 4);
    BITMAPINFOHEADER* h = (BITMAPINFOHEADER*)GlobalLock(dib);
    h->biSize = sizeof *h;
    h->biWidth = h->biHeight = 1;
    h->biPlanes = 1;
    h->biBitCount = 24;
    GlobalUnlock(dib);
    ASSERT_TRUE(PutOnClipboard(CF_DIB, dib));
    EXPECT_EQ(Expand("[%B]"), "[]") << "a bitmap only gives no text";

    ASSERT_TRUE(PutOnClipboard(CF_TEXT, TextBlock(std::string(3000, 'x'))));
    char small[10];
    GetClipboardText(nullptr, small, sizeof small);
    EXPECT_STREQ(small, "xxxxxxxxx") << "cut, not refused";
    EXPECT_EQ(Expand("%B").size(), 1039u);
}

TEST(HeaderTokens, SystemNamesDateAndImageName) {
    InitCaptureApp();
    char computer[MAX_COMPUTERNAME_LENGTH + 1], user[260], date[260];
    DWORD n = sizeof computer;
    ASSERT_TRUE(GetComputerNameA(computer, &n));
    n = sizeof user;
    ASSERT_TRUE(GetUserNameA(user, &n));
    ASSERT_GT(GetDateFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, date, sizeof date), 0);
    EXPECT_EQ(Expand("%C/%U/%D"), std::string(computer) + "/" + user + "/" + date);
    EXPECT_FALSE(Expand("%T").empty());

    StrCopy(gImageName, countof(gImageName), "(Unnamed)");
    EXPECT_EQ(Expand("%F|%f|%P"), "(Unnamed)|(Unnamed)|(Unnamed)");
    StrCopy(gImageName, countof(gImageName), "C:\\shots\\shot0003.jpg");
    EXPECT_EQ(Expand("%F|%f|%p"), "shot0003.jpg|shot0003|C:\\shots\\shot0003");

    gOpt.NextN = 7;
    EXPECT_EQ(Expand("Page %N3 of shots"), "Page 007 of shots");
    EXPECT_EQ(gOpt.NextN, 8);
    EXPECT_EQ(Expand("%N0 100%% done"), "00080 100 done");
}
