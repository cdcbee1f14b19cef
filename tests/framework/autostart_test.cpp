// The Startup-folder link: created with the program file, the start-up
// switches and the icon, read back through the shell; removed again; and
// COM left as the caller had it.
#include <gtest/gtest.h>
#include <objbase.h>
#include <ole2.h>
#include <shlobj.h>

#include <string>

#include "framework/app.h"
#include "support/test_support.h"

namespace {

bool ReadLink(const std::string& path, std::string* target, std::string* args) {
    IShellLinkA* sl = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&sl)))
        return false;
    IPersistFile* pf = nullptr;
    bool ok = false;
    if (SUCCEEDED(sl->QueryInterface(IID_IPersistFile, (void**)&pf))) {
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
        char buf[MAX_PATH];
        if (SUCCEEDED(pf->Load(wide, STGM_READ))) {
            sl->GetPath(buf, MAX_PATH, nullptr, 0);
            *target = buf;
            sl->GetArguments(buf, MAX_PATH);
            *args = buf;
            ok = true;
        }
        pf->Release();
    }
    sl->Release();
    return ok;
}

}  // namespace

TEST(AutoStart, LinkIsCreatedReadBackAndRemoved) {
    // The caller's thread has OLE already, as the main program's has.
    ASSERT_EQ(OleInitialize(nullptr), S_OK);
    strcpy(gApp.productName, "Vellumor Link Test");
    std::string install = "C:\\Program Files\\Tarnwick\\Link Test";
    memset(gApp.installSettings, 0, sizeof gApp.installSettings);
    memcpy(gApp.installSettings + kInstallFolder, install.c_str(), install.size());
    char startup[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, startup, CSIDL_STARTUP, TRUE));
    std::string link = std::string(startup) + "\\Vellumor Link Test.lnk";
    DeleteFileA(link.c_str());

    EXPECT_EQ(gApp.SetAutoStart(true, "-MINIMIZE", false, nullptr, nullptr), 0);
    std::string target, args;
    ASSERT_TRUE(ReadLink(link, &target, &args));
    EXPECT_EQ(target, install + "\\Vellumor Link Test.exe");
    EXPECT_EQ(args, "-WAITFORDATAPATH -AUTOSTART -MINIMIZE");

    // Only if missing: an existing link is left as it is.
    EXPECT_EQ(gApp.SetAutoStart(true, "-OTHER", true, nullptr, nullptr), 0);
    ASSERT_TRUE(ReadLink(link, &target, &args));
    EXPECT_EQ(args, "-WAITFORDATAPATH -AUTOSTART -MINIMIZE");

    EXPECT_EQ(gApp.SetAutoStart(false, nullptr, false, nullptr, nullptr), 0);
    EXPECT_EQ(GetFileAttributesA(link.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(gApp.SetAutoStart(false, nullptr, false, nullptr, nullptr), 0) << "removing a missing link succeeds";

    // A named link in the same folder.
    EXPECT_EQ(gApp.SetAutoStart(true, nullptr, false, nullptr, "Other Name"), 0);
    ASSERT_TRUE(ReadLink(std::string(startup) + "\\Other Name.lnk", &target, &args));
    EXPECT_EQ(args, "-WAITFORDATAPATH -AUTOSTART ");
    gApp.SetAutoStart(false, nullptr, false, nullptr, "Other Name");

    // The thread's OLE initialisation is intact: initialising again only counts up.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    CoUninitialize();
    OleUninitialize();
}
