// The wizard of the packed setup.exe driven page by page through its
// controls (button clicks, edits, message-box answers; one click with real
// mouse input), run by wizard_test.sh in a fresh Wine prefix per group:
// every page, Back and Next, Cancel at each page, the folder checks with
// the folder-test program, an install with all four finish choices, the
// uninstall started from the registered UninstallString, and the removal
// of a previous version. With VP_SHOT_DIR set, each page is saved there as
// a bitmap "<dpi>-<page>.bmp".
#include <windows.h>
#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "framework/startup_test_util.h"
#include "setup_test_util.h"
#include "setup_win_test_util.h"
#include "support/test_support.h"

static const char kWork[] = "C:\\vpwork";
static const char kSetupCaption[] = "Setup - Vellumor Pro v4.13.0";
static const char kUninstallCaption[] = "Uninstall - Vellumor Pro v4.13.0";
static const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vellumor Pro";
// The exit code of a wizard that was quit before it finished.
static const DWORD kQuit = 2;

// Ids of the wizard's controls (as the program's resources name them).
enum {
    kBack = 3,
    kTitle = 1002,
    kSubtitle = 1004,
    kWebLink = 1031,
    kDescription = 1007,
    kAgreementText = 1008,
    kInstallFolder = 1014,
    kBrowseInstall = 4,
    kDataFolder = 1020,
    kBrowseData = 6,
    kForAll = 1038,
    kForUser = 1040,
    kDataDefault = 1046,
    kDataCustom = 1048,
    kIndividual = 1050,
    kShared = 1051,
    kStatusLine = 1021,
    kStartProgram = 1023,
    kShowManual = 1025,
    kDesktopLink = 1028,
    kStartMenuLinks = 1029,
    kKeepSettings = 1044,
    kKeptFolder = 1010,
    kNotRemoved = 1008,
    kLeftFolder = 1036,
};

struct Found {
    const char* caption;
    bool box;  // a message box (it has the text static 0xFFFF), else a wizard frame
    HWND hwnd;
};

static BOOL CALLBACK FindTopDialog(HWND hwnd, LPARAM lp) {
    Found* f = (Found*)lp;
    char cls[32] = "", caption[256] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    GetWindowTextA(hwnd, caption, sizeof caption);
    if (strcmp(cls, "#32770") != 0 || strcmp(caption, f->caption) != 0 || !IsWindowVisible(hwnd))
        return TRUE;
    if ((GetDlgItem(hwnd, 0xFFFF) != nullptr) != f->box)
        return TRUE;
    f->hwnd = hwnd;
    return FALSE;
}

static HWND WaitTop(const char* caption, bool box, DWORD ms) {
    DWORD start = GetTickCount();
    do {
        Found f = {caption, box, nullptr};
        EnumWindows(FindTopDialog, (LPARAM)&f);
        if (f.hwnd)
            return f.hwnd;
        Sleep(50);
    } while (GetTickCount() - start < ms);
    return nullptr;
}

static BOOL CALLBACK FindPage(HWND hwnd, LPARAM lp) {
    char cls[32] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (strcmp(cls, "#32770") == 0 && IsWindowVisible(hwnd) && GetDlgItem(hwnd, kTitle)) {
        *(HWND*)lp = hwnd;
        return FALSE;
    }
    return TRUE;
}

static int Dpi() {
    HDC dc = GetDC(nullptr);
    int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(nullptr, dc);
    return dpi;
}

// The frame as a 24-bit bitmap file in VP_SHOT_DIR (when set).
static void Shot(HWND frame, const char* name) {
    char dir[MAX_PATH];
    if (!GetEnvironmentVariableA("VP_SHOT_DIR", dir, sizeof dir))
        return;
    Sleep(300);  // let the page paint
    RECT r;
    GetWindowRect(frame, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr), mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFOHEADER bi = {sizeof bi, w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    int stride = (w * 3 + 3) & ~3;
    std::string pixels((size_t)stride * h, '\0');
    GetDIBits(mem, bmp, 0, h, &pixels[0], (BITMAPINFO*)&bi, DIB_RGB_COLORS);
    BITMAPFILEHEADER fh = {0x4D42, (DWORD)(sizeof fh + sizeof bi + pixels.size()), 0, 0, sizeof fh + sizeof bi};
    std::string path = std::string(dir) + "\\" + std::to_string(Dpi()) + "-" + name + ".bmp";
    std::string bytes = std::string((const char*)&fh, sizeof fh) + std::string((const char*)&bi, sizeof bi) + pixels;
    // Written whole under another name first: only a complete file gets the bitmap's name.
    HANDLE f = CreateFileA((path + ".tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD done = 0;
    bool ok = f != INVALID_HANDLE_VALUE && WriteFile(f, bytes.data(), (DWORD)bytes.size(), &done, nullptr) &&
              done == bytes.size();
    if (f != INVALID_HANDLE_VALUE)
        CloseHandle(f);
    ok = ok && MoveFileExA((path + ".tmp").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    EXPECT_TRUE(ok) << path << ": error " << GetLastError();
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
}

// The current page of the wizard with that caption once its title is title.
static HWND WaitPage(const char* caption, const std::string& title, DWORD ms = 20000) {
    DWORD start = GetTickCount();
    do {
        HWND frame = WaitTop(caption, false, 100), page = nullptr;
        if (frame)
            EnumChildWindows(frame, FindPage, (LPARAM)&page);
        if (page && ControlText(page, kTitle) == title) {
            Sleep(150);
            return page;
        }
        Sleep(50);
    } while (GetTickCount() - start < ms);
    return nullptr;
}

// A message box of the wizard: its text, answered with id.
static std::string AnswerBox(const char* caption, int id, DWORD ms = 10000) {
    HWND box = WaitTop(caption, true, ms);
    if (!box)
        return "<no message box>";
    Sleep(150);
    std::string text = ControlText(box, 0xFFFF);
    PostMessageA(box, WM_COMMAND, id, 0);
    for (int i = 0; i < 100 && IsWindow(box); i++)
        Sleep(50);
    return text;
}

static bool NoBox(const char* caption) {
    return WaitTop(caption, true, 500) == nullptr;
}

static void Click(HWND page, int id) {
    PostMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0);
    Sleep(200);
}

static bool Checked(HWND page, int id) {
    return SendMessageA(GetDlgItem(page, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

static bool Enabled(HWND page, int id) {
    return IsWindowEnabled(GetDlgItem(page, id)) != FALSE;
}

static bool Visible(HWND page, int id) {
    return IsWindowVisible(GetDlgItem(page, id)) != FALSE;
}

static void SetText(HWND page, int id, const char* text) {
    SendMessageA(GetDlgItem(page, id), WM_SETTEXT, 0, (LPARAM)text);
}

// A click with real mouse input in the middle of a control.
static void MouseClick(HWND page, int id) {
    RECT r;
    GetWindowRect(GetDlgItem(page, id), &r);
    MovePointerTo({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, in, sizeof in[0]);
    Sleep(300);
}

struct Process {
    PROCESS_INFORMATION pi = {};
    bool started = false;
    DWORD Wait(DWORD ms) {
        DWORD code = 0xDEAD;
        if (started && WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0)
            GetExitCodeProcess(pi.hProcess, &code);
        return code;
    }
    ~Process() {
        if (!started)
            return;
        if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0)
            TerminateProcess(pi.hProcess, 99);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
};

static void Start(Process* p, const std::string& line, const char* cwd = kWork) {
    std::string copy = line;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    p->started = CreateProcessA(nullptr, &copy[0], nullptr, nullptr, FALSE, 0, nullptr, cwd, &si, &p->pi) != FALSE;
}

static int ProcessCount(const char* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int n = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        n += _stricmp(entry.szExeFile, name) == 0;
    CloseHandle(snapshot);
    return n;
}

static std::string SetupExe() {
    return std::string(kWork) + "\\setup.exe";
}

static bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

static std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, 0, path);
    return path;
}

// Nothing of an installation: no record, no registration, no install folder.
static void ExpectNothingInstalled(const std::string& installFolder) {
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, "Software\\Tarnwick", "Vellumor Pro"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_FALSE(Exists(installFolder)) << installFolder;
}

// The desktop user's shell, which setup looks for (absent under Wine).
class Wizard : public ::testing::Test {
  protected:
    static HANDLE progman;
    static void SetUpTestSuite() { progman = StartHelper("progman", true); }
    static void TearDownTestSuite() {
        if (progman) {
            TerminateProcess(progman, 0);
            CloseHandle(progman);
        }
    }
    // From the welcome page to the folders page.
    static HWND ToFolders(HWND welcome) {
        Click(welcome, IDOK);
        HWND agreement = WaitPage(kSetupCaption, "License Agreement");
        if (!agreement)
            return nullptr;
        Click(agreement, IDOK);
        return WaitPage(kSetupCaption, "Installation Directory");
    }
};
HANDLE Wizard::progman;

TEST_F(Wizard, PagesBackNextAndCancelAtEachPage) {
    const std::string defaultFolder = ShellFolder(CSIDL_PROGRAM_FILES) + "\\Vellumor Pro";
    // Cancel on the welcome page ends at once, without a question.
    {
        Process p;
        Start(&p, "\"" + SetupExe() + "\"");
        HWND welcome = WaitPage(kSetupCaption, "Vellumor Pro v4.13.0 Setup");
        ASSERT_TRUE(welcome);
        EXPECT_EQ("This program will install Vellumor Pro on your computer.", ControlText(welcome, kSubtitle));
        EXPECT_EQ(0u, ControlText(welcome, kDescription).find("Vellumor Pro captures the whole screen"));
        EXPECT_NE(std::string::npos, ControlText(welcome, kDescription).find("\r\nIt runs in the background"));
        EXPECT_EQ("www.tarnwick.example", ControlText(welcome, kWebLink));
        EXPECT_FALSE(GetDlgItem(welcome, kBack));
        Shot(GetParent(welcome), "104");
        Click(welcome, IDCANCEL);
        EXPECT_EQ(kQuit, p.Wait(10000));
        ExpectNothingInstalled(defaultFolder);
    }
    Process p;
    Start(&p, "\"" + SetupExe() + "\"");
    HWND welcome = WaitPage(kSetupCaption, "Vellumor Pro v4.13.0 Setup");
    ASSERT_TRUE(welcome);
    MouseClick(welcome, IDOK);  // real input on Next
    HWND agreement = WaitPage(kSetupCaption, "License Agreement");
    ASSERT_TRUE(agreement);
    EXPECT_EQ(0u, ControlText(agreement, kAgreementText).find("VELLUMOR PRO LICENSE AGREEMENT\r\n"));
    Shot(GetParent(agreement), "105");
    Click(agreement, kBack);
    welcome = WaitPage(kSetupCaption, "Vellumor Pro v4.13.0 Setup");
    ASSERT_TRUE(welcome);
    Click(welcome, IDOK);
    agreement = WaitPage(kSetupCaption, "License Agreement");
    ASSERT_TRUE(agreement);
    // No asks; No again keeps the page.
    Click(agreement, IDCANCEL);
    EXPECT_EQ(0u, AnswerBox("Setup", IDNO).find("Setup is not complete."));
    EXPECT_EQ(agreement, WaitPage(kSetupCaption, "License Agreement"));
    Click(agreement, IDOK);
    HWND folders = WaitPage(kSetupCaption, "Installation Directory");
    ASSERT_TRUE(folders);
    EXPECT_EQ("Where should Vellumor Pro be installed?", ControlText(folders, kSubtitle));
    EXPECT_EQ(defaultFolder, ControlText(folders, kInstallFolder));
    EXPECT_TRUE(Checked(folders, kForAll));
    EXPECT_FALSE(Checked(folders, kForUser));
    EXPECT_TRUE(Checked(folders, kDataDefault));
    EXPECT_TRUE(Checked(folders, kShared));  // no record yet: settings shared
    EXPECT_FALSE(Checked(folders, kIndividual));
    for (int id : {kDataFolder, kBrowseData, kIndividual, kShared})
        EXPECT_FALSE(Enabled(folders, id)) << id;
    Shot(GetParent(folders), "109");
    Click(folders, kDataCustom);
    for (int id : {kDataFolder, kBrowseData, kIndividual, kShared})
        EXPECT_TRUE(Enabled(folders, id)) << id;
    Click(folders, kDataDefault);
    EXPECT_FALSE(Enabled(folders, kDataFolder));

    // A relative install folder is refused; the page stays.
    SetText(folders, kInstallFolder, "Apps\\Vellumor");
    Click(folders, IDOK);
    EXPECT_EQ("You must use an absolute path (including a drive letter or network drive)!", AnswerBox("Setup", IDOK));
    EXPECT_EQ(folders, WaitPage(kSetupCaption, "Installation Directory"));

    // Browse starts at the edit's folder; its choice gets the product name.
    CreateDirectoryA("C:\\BrowseHere", nullptr);
    SetText(folders, kInstallFolder, "C:\\BrowseHere\\");
    Click(folders, kBrowseInstall);
    HWND browser = WaitTop("Browse for Folder", false, 10000);
    ASSERT_TRUE(browser);
    Sleep(500);
    PostMessageA(browser, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 100 && IsWindow(browser); i++)
        Sleep(50);
    EXPECT_EQ("C:\\BrowseHere\\Vellumor Pro", ControlText(folders, kInstallFolder));

    // Back, then Cancel on the folders page: Yes ends the wizard.
    Click(folders, kBack);
    agreement = WaitPage(kSetupCaption, "License Agreement");
    ASSERT_TRUE(agreement);
    Click(agreement, IDOK);
    folders = WaitPage(kSetupCaption, "Installation Directory");
    ASSERT_TRUE(folders);
    Click(folders, IDCANCEL);
    EXPECT_EQ(0u, AnswerBox("Setup", IDYES).find("Setup is not complete."));
    EXPECT_EQ(kQuit, p.Wait(10000));
    ExpectNothingInstalled(defaultFolder);
    EXPECT_FALSE(Exists("C:\\BrowseHere\\Vellumor Pro"));
}

TEST_F(Wizard, CancelOnTheAgreementAndProgressPages) {
    {
        Process p;
        Start(&p, "\"" + SetupExe() + "\"");
        HWND welcome = WaitPage(kSetupCaption, "Vellumor Pro v4.13.0 Setup");
        ASSERT_TRUE(welcome);
        Click(welcome, IDOK);
        HWND agreement = WaitPage(kSetupCaption, "License Agreement");
        ASSERT_TRUE(agreement);
        Click(agreement, IDCANCEL);
        AnswerBox("Setup", IDYES);
        EXPECT_EQ(kQuit, p.Wait(10000));
    }
    // A script whose phase 1 waits in a Call: Cancel on the progress page
    // ends the wizard, the called program is ended and nothing after it runs.
    std::string folder = "C:\\slowsetup";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string script =
        "PhaseBegin 0\r\nSet #PROGRAM#, \"Vellumor Pro\"\r\nSet #VERSION#, \"4.13.0\"\r\nPhaseEnd\r\n"
        "PhaseBegin 1\r\nCall \"" +
        HelperExe() +
        "\", \"sleep 60000\"\r\n"
        "CreateDir \"C:\\slowsetup\\after\"\r\nPhaseEnd\r\n";
    HANDLE f = CreateFileA((folder + "\\Setup.qsc").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD done;
    WriteFile(f, script.data(), (DWORD)script.size(), &done, nullptr);
    CloseHandle(f);
    Process p;
    Start(&p, "\"" + SetupExe() + "\" -WORKDIR=" + folder);
    HWND welcome = WaitPage(kSetupCaption, "Vellumor Pro v4.13.0 Setup");
    ASSERT_TRUE(welcome);
    Click(welcome, IDOK);
    HWND agreement = WaitPage(kSetupCaption, "License Agreement");
    ASSERT_TRUE(agreement);
    Click(agreement, IDOK);  // no #ASKPATH#: straight to the progress page
    HWND progress = WaitPage(kSetupCaption, "Installing");
    ASSERT_TRUE(progress);
    for (int i = 0; i < 100 && ControlText(progress, kStatusLine).find("Executing:") != 0; i++)
        Sleep(100);
    EXPECT_EQ(0u, ControlText(progress, kStatusLine).find("Executing: \"")) << ControlText(progress, kStatusLine);
    EXPECT_FALSE(Enabled(progress, IDOK));
    EXPECT_FALSE(Enabled(progress, kBack));
    Shot(GetParent(progress), "110");
    Click(progress, IDCANCEL);
    EXPECT_EQ(0u, AnswerBox("Setup", IDYES).find("Setup is not complete."));
    EXPECT_EQ(kQuit, p.Wait(30000));
    EXPECT_FALSE(Exists(folder + "\\after"));
    // The called program was ended: only the "Progman" helper runs.
    EXPECT_EQ(1, ProcessCount("setup_test_helper.exe"));
}

static void WriteText(const std::string& path, const std::string& text) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD done;
    WriteFile(f, text.data(), (DWORD)text.size(), &done, nullptr);
    CloseHandle(f);
}

TEST_F(Wizard, FreeSpaceIsChecked) {
    std::string folder = "C:\\bigsetup";
    CreateDirectoryA(folder.c_str(), nullptr);
    WriteText(folder + "\\Setup.qsc",
              "PhaseBegin 0\r\nSet #PROGRAM#, \"Vellumor Pro\"\r\nSet #VERSION#, \"4.13.0\"\r\nSet #ASKPATH#, 1\r\n"
              "Set #MINFREE#, 99999999\r\nPhaseEnd\r\nPhaseBegin 1\r\nPhaseEnd\r\n");
    Process p;
    Start(&p, "\"" + SetupExe() + "\" -WORKDIR=" + folder);
    HWND welcome = WaitPage(kSetupCaption, "Vellumor Pro v4.13.0 Setup");
    ASSERT_TRUE(welcome);
    HWND folders = ToFolders(welcome);
    ASSERT_TRUE(folders);
    // The folder does not exist yet: the drive's free space is asked all the same.
    SetText(folders, kInstallFolder, "C:\\Not\\There\\Yet");
    Click(folders, IDOK);
    EXPECT_EQ(0u, AnswerBox("Setup", IDOK).find("Vellumor Pro requires at least 99999999 MB of disk space."));
    EXPECT_EQ(folders, WaitPage(kSetupCaption, "Installation Directory"));
    EXPECT_FALSE(Exists("C:\\Not"));
    Click(folders, IDCANCEL);
    AnswerBox("Setup", IDYES);
    EXPECT_EQ(kQuit, p.Wait(10000));
}

static std::string LinkTarget(const std::string& lnk) {
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    char path[MAX_PATH] = "<unreadable>";
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, lnk.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link)) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file)) && SUCCEEDED(file->Load(wide, STGM_READ)))
        link->GetPath(path, MAX_PATH, nullptr, 0);
    if (file)
        file->Release();
    if (link)
        link->Release();
    return path;
}

struct MainWindowSearch {
    HWND found;
};

static BOOL CALLBACK FindMox(HWND hwnd, LPARAM lp) {
    char cls[64] = "", title[256] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    GetWindowTextA(hwnd, title, sizeof title);
    if (_stricmp(cls, "MoxWindow") == 0 && strstr(title, "Vellumor Pro")) {
        ((MainWindowSearch*)lp)->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

static HWND WaitMainProgram(DWORD ms) {
    DWORD start = GetTickCount();
    do {
        MainWindowSearch s = {nullptr};
        EnumWindows(FindMox, (LPARAM)&s);
        if (s.found)
            return s.found;
        Sleep(100);
    } while (GetTickCount() - start < ms);
    return nullptr;
}

static void EndProcesses(const char* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (_stricmp(entry.szExeFile, name) != 0)
            continue;
        HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
        if (h) {
            TerminateProcess(h, 0);
            WaitForSingleObject(h, 5000);
            CloseHandle(h);
        }
    }
    CloseHandle(snapshot);
}

static std::string UserName() {
    char name[257] = "";
    DWORD cch = sizeof name;
    GetUserNameA(name, &cch);
    return name;
}

static std::string RecordBytes() {
    HKEY key;
    std::string data;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tarnwick", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return data;
    DWORD cb = 0;
    if (RegQueryValueExA(key, "Vellumor Pro", nullptr, nullptr, nullptr, &cb) == ERROR_SUCCESS) {
        data.resize(cb);
        RegQueryValueExA(key, "Vellumor Pro", nullptr, nullptr, (BYTE*)&data[0], &cb);
    }
    RegCloseKey(key);
    return data;
}

static int Word(const std::string& record, size_t offset) {
    return record.size() < offset + 2 ? -999 : (int16_t)((uint8_t)record[offset] | ((uint8_t)record[offset + 1] << 8));
}

static std::string Text(const std::string& record, size_t offset) {
    return record.size() < offset + 260 ? "<short>" : std::string(record.c_str() + offset);
}

TEST_F(Wizard, InstallWithEveryChoiceThenUninstallFromTheRegistration) {
    CoInitialize(nullptr);
    const std::string install = "C:\\Apps\\VP", data = "C:\\VData", userData = data + "\\" + UserName();
    Process p;
    Start(&p, "\"" + SetupExe() + "\"");
    HWND welcome = WaitPage(kSetupCaption, "Vellumor Pro v4.13.0 Setup");
    ASSERT_TRUE(welcome);
    HWND folders = ToFolders(welcome);
    ASSERT_TRUE(folders);
    SetText(folders, kInstallFolder, install.c_str());
    Click(folders, kForUser);
    Click(folders, kDataCustom);
    Click(folders, kIndividual);
    // A data folder the user cannot write to (drive X: is /sys): the folder
    // test fails, the question's No keeps the page, and the folders made for
    // the attempt are gone again.
    SetText(folders, kDataFolder, "X:\\kernel");
    Click(folders, IDOK);
    EXPECT_EQ(0u, AnswerBox("Setup", IDNO).find("The configuration folder seems to be inaccessible!"));
    EXPECT_EQ(folders, WaitPage(kSetupCaption, "Installation Directory"));
    EXPECT_FALSE(Exists(install));
    EXPECT_FALSE(Exists(install + "\\Dirwarden.exe"));
    // A writable one passes without a question.
    SetText(folders, kDataFolder, data.c_str());
    Click(folders, IDOK);
    HWND finish = WaitPage(kSetupCaption, "Finished", 60000);
    ASSERT_TRUE(finish);
    EXPECT_TRUE(NoBox("Setup"));
    for (int id : {kStartProgram, kShowManual, kDesktopLink, kStartMenuLinks}) {
        EXPECT_TRUE(Visible(finish, id)) << id;
        EXPECT_TRUE(Checked(finish, id)) << id;
    }
    EXPECT_FALSE(Enabled(finish, IDCANCEL));
    EXPECT_FALSE(Exists(install + "\\Dirwarden.exe"));
    Shot(GetParent(finish), "111");
    Click(finish, IDOK);
    EXPECT_EQ(0u, p.Wait(30000));

    // The install record with the finish page's choices.
    std::string record = RecordBytes();
    ASSERT_EQ(1328u, record.size());
    EXPECT_EQ(1, Word(record, 0));
    EXPECT_EQ(4, Word(record, 10));
    EXPECT_EQ(13, Word(record, 12));
    EXPECT_EQ(0, Word(record, 14));  // for the current user
    EXPECT_EQ(1, Word(record, 16));  // custom data folder
    EXPECT_EQ(1, Word(record, 18));  // one sub-folder per user
    EXPECT_EQ(install, Text(record, 20));
    EXPECT_EQ(data, Text(record, 280));
    for (size_t offset : {1320u, 1322u, 1324u, 1326u})
        EXPECT_EQ(1, Word(record, offset)) << offset;
    // The uninstall registration; the command line is quoted.
    EXPECT_EQ("\"" + install + "\\Uninstall.exe\"", RegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"));
    EXPECT_EQ("Vellumor Pro", RegString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"));
    EXPECT_EQ(install, RegString(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation"));
    EXPECT_LT(1000u, RegDword(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize"));
    EXPECT_NE(0xDEADBEEFu, RegDword(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize"));
    // The files and the user's shortcuts, read back through IShellLink.
    for (const char* file : {"\\Vellumor Pro.exe", "\\Vellumor Pro.chm", "\\Uninstall.exe"})
        EXPECT_TRUE(Exists(install + file)) << file;
    std::string menu = ShellFolder(CSIDL_PROGRAMS) + "\\Vellumor Pro";
    EXPECT_EQ(install + "\\Vellumor Pro.exe", LinkTarget(ShellFolder(CSIDL_DESKTOPDIRECTORY) + "\\Vellumor Pro.lnk"));
    EXPECT_EQ(install + "\\Vellumor Pro.exe", LinkTarget(menu + "\\Vellumor Pro.lnk"));
    EXPECT_EQ(install + "\\Vellumor Pro.chm", LinkTarget(menu + "\\Vellumor Pro Manual.lnk"));
    EXPECT_EQ(install + "\\Uninstall.exe", LinkTarget(menu + "\\Uninstall.lnk"));
    EXPECT_TRUE(Exists(menu + "\\Tarnwick Website.url"));
    EXPECT_FALSE(Exists(ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\Vellumor Pro.lnk"));

    // "Start Vellumor Pro": the program runs, found its data folder through
    // the record (the per-user folder below the custom one) and writes its
    // options there when setup's way of quitting it reaches it.
    HWND program = WaitMainProgram(30000);
    ASSERT_TRUE(program) << "the installed program did not start";
    DWORD pid = 0;
    GetWindowThreadProcessId(program, &pid);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    DWORD_PTR answer;
    SendMessageTimeoutA(program, WM_QUIT, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, 20000));
    CloseHandle(process);
    EXPECT_TRUE(Exists(userData + "\\Options.qcg")) << userData;
    // "Show the Manual" opened the manual through the shell (Wine's viewer).
    EXPECT_LE(1, ProcessCount("hh.exe"));
    EndProcesses("hh.exe");

    // Uninstall from the registered command line. A file of the user's in
    // the install folder keeps the folder, which the finish page shows.
    WriteText(install + "\\notes.txt", "mine");
    Process uninstaller;
    Start(&uninstaller, RegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"));
    HWND uwelcome = WaitPage(kUninstallCaption, "Vellumor Pro v4.13.0 Uninstall");
    ASSERT_TRUE(uwelcome);
    EXPECT_EQ(1, ProcessCount("_QvUItmp.exe"));
    EXPECT_EQ(userData, ControlText(uwelcome, kKeptFolder));
    EXPECT_FALSE(GetDlgItem(uwelcome, kBack));
    Shot(GetParent(uwelcome), "114");
    Click(uwelcome, kKeepSettings);
    EXPECT_EQ(0u, AnswerBox("Uninstall", IDOK).find("Please do not keep the settings and data"));
    EXPECT_TRUE(Checked(uwelcome, kKeepSettings));
    Click(uwelcome, kKeepSettings);
    EXPECT_TRUE(NoBox("Uninstall"));
    EXPECT_FALSE(Checked(uwelcome, kKeepSettings));
    Click(uwelcome, IDOK);
    HWND ufinish = WaitPage(kUninstallCaption, "Finished", 60000);
    ASSERT_TRUE(ufinish);
    EXPECT_TRUE(Visible(ufinish, kNotRemoved));
    EXPECT_TRUE(Visible(ufinish, kLeftFolder));
    EXPECT_EQ(install, ControlText(ufinish, kLeftFolder));
    EXPECT_FALSE(Enabled(ufinish, IDCANCEL));
    Shot(GetParent(ufinish), "117");
    Click(ufinish, IDOK);
    EXPECT_EQ(20u, uninstaller.Wait(30000));  // the copy's outcome: a folder still holds files
    EXPECT_EQ(0, ProcessCount("_QvUItmp.exe"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, "Software\\Tarnwick", "Vellumor Pro"));
    EXPECT_FALSE(Exists(install + "\\Vellumor Pro.exe"));
    EXPECT_FALSE(Exists(install + "\\Uninstall.exe"));
    EXPECT_FALSE(Exists(userData));
    EXPECT_FALSE(Exists(menu));
    EXPECT_FALSE(Exists(ShellFolder(CSIDL_DESKTOPDIRECTORY) + "\\Vellumor Pro.lnk"));
    // (wizard_test.sh waits for the self-deleting batch and checks that the
    // temporary copy and the batch are gone.)
    CoUninitialize();
}

TEST_F(Wizard, PreviousVersionIsRemovedFirst) {
    {
        Process silent;
        Start(&silent, "\"" + SetupExe() + "\" -SILENT");
        ASSERT_EQ(0u, silent.Wait(60000));
    }
    // The installed version becomes 2.1, which the script asks to remove first.
    std::string record = RecordBytes();
    ASSERT_EQ(1328u, record.size());
    record[10] = 2, record[11] = 0, record[12] = 1, record[13] = 0;
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tarnwick", 0, KEY_ALL_ACCESS, &key));
    RegSetValueExA(key, "Vellumor Pro", 0, REG_BINARY, (const BYTE*)record.data(), (DWORD)record.size());
    RegCloseKey(key);

    Process p;
    Start(&p, "\"" + SetupExe() + "\"");
    HWND welcome = WaitPage(kSetupCaption, "Vellumor Pro v4.13.0 Setup");
    ASSERT_TRUE(welcome);
    // Cancel keeps the page.
    Click(welcome, IDOK);
    EXPECT_EQ(0u, AnswerBox("Setup", IDCANCEL).find("A previous version of Vellumor Pro is already installed"));
    EXPECT_EQ(welcome, WaitPage(kSetupCaption, "Vellumor Pro v4.13.0 Setup"));
    // Yes runs the old uninstaller (its own wizard) while the frame is hidden.
    Click(welcome, IDOK);
    AnswerBox("Setup", IDYES);
    HWND uwelcome = WaitPage(kUninstallCaption, "Vellumor Pro v4.13.0 Uninstall");
    ASSERT_TRUE(uwelcome);
    EXPECT_FALSE(IsWindowVisible(GetParent(welcome)));
    EXPECT_FALSE(Checked(uwelcome, kKeepSettings));  // a version removed on purpose takes its settings
    Click(uwelcome, IDOK);
    HWND ufinish = WaitPage(kUninstallCaption, "Finished", 60000);
    ASSERT_TRUE(ufinish);
    EXPECT_FALSE(Visible(ufinish, kNotRemoved));
    Click(ufinish, IDOK);
    // Back on the setup's welcome page once the old version is gone.
    for (int i = 0; i < 200 && !IsWindowVisible(GetParent(welcome)); i++)
        Sleep(100);
    EXPECT_TRUE(IsWindowVisible(GetParent(welcome)));
    EXPECT_EQ(welcome, WaitPage(kSetupCaption, "Vellumor Pro v4.13.0 Setup"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_EQ(0, ProcessCount("_QvUItmp.exe"));
    // Now Next goes on without the question.
    Click(welcome, IDOK);
    EXPECT_TRUE(WaitPage(kSetupCaption, "License Agreement"));
    EXPECT_TRUE(NoBox("Setup"));
    HWND agreement = WaitPage(kSetupCaption, "License Agreement");

    // An installation in another folder (made meanwhile) goes from the
    // folders page; its uninstaller keeps the settings (its box checked),
    // which the moved installation uses.
    {
        Process silent;
        Start(&silent, "\"" + SetupExe() + "\" -SILENT");
        ASSERT_EQ(0u, silent.Wait(60000));
    }
    std::string planted = ShellFolder(CSIDL_APPDATA) + "\\Tarnwick\\Vellumor Pro\\(Mox)Planted.qcg";
    WriteText(planted, "settings");
    Click(agreement, IDOK);
    HWND folders = WaitPage(kSetupCaption, "Installation Directory");
    ASSERT_TRUE(folders);
    SetText(folders, kInstallFolder, "C:\\Moved");
    Click(folders, IDOK);
    EXPECT_EQ(0u, AnswerBox("Setup", IDYES).find("A previous version of Vellumor Pro is already installed"));
    uwelcome = WaitPage(kUninstallCaption, "Vellumor Pro v4.13.0 Uninstall");
    ASSERT_TRUE(uwelcome);
    EXPECT_TRUE(Checked(uwelcome, kKeepSettings));
    Click(uwelcome, IDOK);
    ufinish = WaitPage(kUninstallCaption, "Finished", 60000);
    ASSERT_TRUE(ufinish);
    Click(ufinish, IDOK);
    HWND finish = WaitPage(kSetupCaption, "Finished", 60000);
    ASSERT_TRUE(finish);
    for (int id : {kStartProgram, kShowManual})
        if (Checked(finish, id))
            Click(finish, id);
    Click(finish, IDOK);
    EXPECT_EQ(0u, p.Wait(30000));
    EXPECT_FALSE(Exists(ShellFolder(CSIDL_PROGRAM_FILES) + "\\Vellumor Pro"));
    EXPECT_EQ("C:\\Moved", Text(RecordBytes(), 20));
    std::string kept;
    EXPECT_TRUE(ReadFileBytes(planted, &kept));
    EXPECT_EQ("settings", kept);
}

// Errors of phase 1 on the progress page: the logon task that Wine's Task
// Scheduler cannot register (logon triggers and run levels answer
// E_NOTIMPL) is reported and the installation goes on; an error that the
// user answers with OK runs phase 3 and ends the wizard.
TEST_F(Wizard, ProgressPageErrors) {
    std::string folder = "C:\\errsetup";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string head = "PhaseBegin 0\r\nSet #PROGRAM#, \"Vellumor Pro\"\r\nSet #VERSION#, \"4.13.0\"\r\nPhaseEnd\r\n";
    WriteText(folder + "\\Setup.qsc", head + "PhaseBegin 1\r\nLogonTrigger VpWizardTask, \"" + HelperExe() +
                                          "\", \"exit 0\"\r\nCreateDir C:\\errsetup\\after\r\nPhaseEnd\r\n");
    {
        Process p;
        Start(&p, "\"" + SetupExe() + "\" -WORKDIR=" + folder);
        HWND welcome = WaitPage(kSetupCaption, "Vellumor Pro v4.13.0 Setup");
        ASSERT_TRUE(welcome);
        Click(welcome, IDOK);
        HWND agreement = WaitPage(kSetupCaption, "License Agreement");
        ASSERT_TRUE(agreement);
        Click(agreement, IDOK);
        std::string text = AnswerBox("Setup", IDOK, 30000);
        EXPECT_EQ(0u, text.find("An error (code 0000000")) << text;
        EXPECT_NE(std::string::npos, text.find("while accessing the Task Scheduler!")) << text;
        HWND finish = WaitPage(kSetupCaption, "Finished", 30000);
        ASSERT_TRUE(finish);
        EXPECT_TRUE(Exists(folder + "\\after"));
        for (int id : {kStartProgram, kShowManual, kDesktopLink, kStartMenuLinks})
            EXPECT_FALSE(Visible(finish, id)) << id;  // the script offers none
        Click(finish, IDOK);
        EXPECT_EQ(0u, p.Wait(10000));
    }
    WriteText(folder + "\\Setup.qsc", head +
                                          "PhaseBegin 1\r\nError boom\r\nCreateDir C:\\errsetup\\after2\r\nPhaseEnd\r\n"
                                          "PhaseBegin 3\r\nCreateDir C:\\errsetup\\cleanup\r\nPhaseEnd\r\n");
    Process p;
    Start(&p, "\"" + SetupExe() + "\" -WORKDIR=" + folder);
    HWND welcome = WaitPage(kSetupCaption, "Vellumor Pro v4.13.0 Setup");
    ASSERT_TRUE(welcome);
    Click(welcome, IDOK);
    HWND agreement = WaitPage(kSetupCaption, "License Agreement");
    ASSERT_TRUE(agreement);
    Click(agreement, IDOK);
    EXPECT_EQ(0u, AnswerBox("Setup", IDOK).find("A critical error (code boom) has occurred!"));
    EXPECT_EQ(29u, p.Wait(10000));  // the failing command's code
    EXPECT_TRUE(Exists(folder + "\\cleanup"));
    EXPECT_FALSE(Exists(folder + "\\after2"));
}

// The right end of the dark pixels of a control as the screen shows it
// (-1 when there are none), in pixels from the control's left edge.
static int DarkTextRight(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof bi.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC screen = GetDC(nullptr), mem = CreateCompatibleDC(screen);
    HBITMAP dib = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    int right = -1;
    const uint8_t* p = (const uint8_t*)bits;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const uint8_t* px = p + ((size_t)y * w + x) * 4;
            if (px[0] < 96 && px[1] < 96 && px[2] < 96 && x > right)
                right = x;
        }
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return right;
}

// A DPI change reaches the frame (Wine never sends one by itself): the
// fonts are made again for the new DPI and the page sets its title font.
TEST_F(Wizard, DpiChangeMakesTheFontsAgain) {
    Process p;
    Start(&p, "\"" + SetupExe() + "\"");
    HWND welcome = WaitPage(kSetupCaption, "Vellumor Pro v4.13.0 Setup");
    ASSERT_TRUE(welcome);
    Sleep(300);
    int before = DarkTextRight(GetDlgItem(welcome, kTitle));
    // (no suggested rectangle: a pointer of this process means nothing there)
    PostMessageA(GetParent(welcome), WM_DPICHANGED, MAKEWPARAM(Dpi() * 3 / 2, Dpi() * 3 / 2), 0);
    Sleep(800);
    int after = DarkTextRight(GetDlgItem(welcome, kTitle));
    ASSERT_GT(before, 50);
    EXPECT_NEAR(150, after * 100.0 / before, 15) << before << " -> " << after;
    Click(welcome, IDCANCEL);
    EXPECT_EQ(kQuit, p.Wait(10000));
}

// An installed version up to the one in #UPGMSG1# gets its text first;
// Cancel there ends the wizard, OK goes on.
TEST_F(Wizard, UpgradeMessage) {
    std::string folder = "C:\\upgsetup";
    CreateDirectoryA(folder.c_str(), nullptr);
    WriteText(folder + "\\Setup.qsc",
              "PhaseBegin 0\r\nSet #PROGRAM#, \"Vellumor Pro\"\r\nSet #VERSION#, \"4.13.0\"\r\n"
              "Set #UPGMSG1#, \"4.13 Your settings of #PROGRAM# are taken over.\"\r\nPhaseEnd\r\n"
              "PhaseBegin 1\r\nPhaseEnd\r\n");
    std::string record(1328, '\0');
    record[0] = 1, record[10] = 4, record[12] = 13;
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tarnwick", 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    RegSetValueExA(key, "Vellumor Pro", 0, REG_BINARY, (const BYTE*)record.data(), (DWORD)record.size());
    for (int answer : {IDCANCEL, IDOK}) {
        Process p;
        Start(&p, "\"" + SetupExe() + "\" -WORKDIR=" + folder);
        HWND welcome = WaitPage(kSetupCaption, "Vellumor Pro v4.13.0 Setup");
        ASSERT_TRUE(welcome);
        Click(welcome, IDOK);
        EXPECT_EQ("Your settings of Vellumor Pro are taken over.", AnswerBox("Setup", answer));
        if (answer == IDOK) {
            HWND agreement = WaitPage(kSetupCaption, "License Agreement");
            ASSERT_TRUE(agreement);
            Click(agreement, IDCANCEL);
            AnswerBox("Setup", IDYES);
        }
        EXPECT_EQ(kQuit, p.Wait(10000));
    }
    RegDeleteValueA(key, "Vellumor Pro");
    RegCloseKey(key);
}

// Runs the uninstaller that the registration names, silently, and waits
// for it and for its temporary copy. The copy's log must report success.
static void RunRegisteredUninstaller() {
    std::string line = RegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString");
    ASSERT_FALSE(line.empty()) << "no uninstall registration";
    char temp[MAX_PATH] = "";
    GetTempPathA((DWORD)sizeof temp, temp);
    std::string log = std::string(temp) + "_QvUItmp.log";
    DeleteFileA(log.c_str());
    Process u;
    Start(&u, line + " -SILENT");
    EXPECT_EQ(0u, u.Wait(120000));  // it returns when its temporary copy has ended
    EXPECT_EQ(0, ProcessCount("_QvUItmp.exe"));
    std::string text;
    EXPECT_TRUE(ReadFileBytes(log, &text));
    EXPECT_EQ("Uninstall finished successfully!\r\n", text);
}

// Nothing of an installation, its data folder, its shortcuts or the maker's key.
static void ExpectNothingOfOurs(const std::string& installFolder) {
    ExpectNothingInstalled(installFolder);
    EXPECT_FALSE(Exists(ShellFolder(CSIDL_APPDATA) + "\\Tarnwick"));
    EXPECT_FALSE(Exists(ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\Vellumor Pro"));
    EXPECT_FALSE(Exists(ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\Vellumor Pro.lnk"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, "Software\\Tarnwick"));
}

// A file that cannot be written midway (the manual, held open by another
// program): the error answered Cancel ends the wizard with the failing
// command's code, and the registered uninstaller removes what was made.
TEST_F(Wizard, AnErrorAnsweredCancelLeavesWhatTheUninstallerRemoves) {
    const std::string install = "C:\\FailVP";
    CreateDirectoryA(install.c_str(), nullptr);
    HANDLE lock = StartHelper("lock \"" + install + "\\Vellumor Pro.chm\" none", true);
    ASSERT_TRUE(lock);
    Process p;
    Start(&p, "\"" + SetupExe() + "\"");
    HWND welcome = WaitPage(kSetupCaption, "Vellumor Pro v4.13.0 Setup");
    ASSERT_TRUE(welcome);
    HWND folders = ToFolders(welcome);
    ASSERT_TRUE(folders);
    SetText(folders, kInstallFolder, install.c_str());
    Click(folders, IDOK);
    EXPECT_EQ(0u, AnswerBox("Setup", IDCANCEL, 60000).find("A file could not be copied!"));
    EXPECT_EQ(8u, p.Wait(20000));
    ReleaseHelper(lock);
    EXPECT_TRUE(Exists(install + "\\Uninstall.exe"));  // the uninstaller came first
    RunRegisteredUninstaller();
    ExpectNothingOfOurs(install);
}

// Cancel on the progress page while phase 1 waits behind the registration
// (the shipped script with a waiting Call): the wizard ends with the quit
// code, nothing behind the Call runs, and the registered uninstaller
// removes what was made.
TEST_F(Wizard, CancelOnTheProgressPageLeavesWhatTheUninstallerRemoves) {
    std::string script;
    ASSERT_TRUE(ReadFileBytes(VP_SOURCE_DIR "/setup/scripts/Setup.qsc", &script));
    const std::string anchor = "\"InstallLocation\",\"#INSTALLPATH#\"\n";
    size_t at = script.find(anchor);
    ASSERT_NE(std::string::npos, at);
    script.insert(at + anchor.size(), "Call \"" + HelperExe() + "\", \"sleep 60000\"\n");
    const std::string folder = "C:\\cancelsetup", install = "C:\\CancelVP";
    CreateDirectoryA(folder.c_str(), nullptr);
    WriteText(folder + "\\Setup.qsc", CrLf(script));
    Process p;
    Start(&p, "\"" + SetupExe() + "\" -WORKDIR=" + folder);
    HWND welcome = WaitPage(kSetupCaption, "Vellumor Pro v4.13.0 Setup");
    ASSERT_TRUE(welcome);
    HWND folders = ToFolders(welcome);
    ASSERT_TRUE(folders);
    SetText(folders, kInstallFolder, install.c_str());
    Click(folders, IDOK);
    HWND progress = WaitPage(kSetupCaption, "Installing");
    ASSERT_TRUE(progress);
    for (int i = 0; i < 300 && ControlText(progress, kStatusLine).find("Executing:") != 0; i++)
        Sleep(100);
    ASSERT_EQ(0u, ControlText(progress, kStatusLine).find("Executing: \"")) << ControlText(progress, kStatusLine);
    Click(progress, IDCANCEL);
    EXPECT_EQ(0u, AnswerBox("Setup", IDYES).find("Setup is not complete."));
    EXPECT_EQ(kQuit, p.Wait(30000));
    EXPECT_EQ(1, ProcessCount("setup_test_helper.exe"));  // the called program was ended
    EXPECT_TRUE(Exists(install + "\\Uninstall.exe"));
    EXPECT_FALSE(Exists(install + "\\Vellumor Pro.exe"));  // nothing behind the Call ran
    RunRegisteredUninstaller();
    ExpectNothingOfOurs(install);
}

// A drive's root as the install folder keeps its backslash: "D:" alone
// would be the current folder of drive D. (wizard_test.sh maps D: to a
// folder of the test's own.)
TEST_F(Wizard, InstallToADriveRoot) {
    Process p;
    Start(&p, "\"" + SetupExe() + "\"");
    HWND welcome = WaitPage(kSetupCaption, "Vellumor Pro v4.13.0 Setup");
    ASSERT_TRUE(welcome);
    HWND folders = ToFolders(welcome);
    ASSERT_TRUE(folders);
    SetText(folders, kInstallFolder, "D:\\");
    Click(folders, IDOK);
    HWND finish = WaitPage(kSetupCaption, "Finished", 60000);
    ASSERT_TRUE(finish);
    for (int id : {kStartProgram, kShowManual})
        if (Checked(finish, id))
            Click(finish, id);
    Click(finish, IDOK);
    EXPECT_EQ(0u, p.Wait(30000));
    std::string record = RecordBytes();
    ASSERT_EQ(1328u, record.size());
    EXPECT_EQ("D:\\", Text(record, 20));
    EXPECT_EQ("D:\\", RegString(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation"));
    EXPECT_EQ("\"D:\\Uninstall.exe\"", RegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"));
    EXPECT_EQ("D:\\Vellumor Pro.exe,0", RegString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayIcon"));
    for (const char* file : {"D:\\Vellumor Pro.exe", "D:\\Vellumor Pro.chm", "D:\\Uninstall.exe"})
        EXPECT_TRUE(Exists(file)) << file;
    RunRegisteredUninstaller();
    for (const char* file : {"D:\\Vellumor Pro.exe", "D:\\Vellumor Pro.chm", "D:\\Uninstall.exe"})
        EXPECT_FALSE(Exists(file)) << file;
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, "Software\\Tarnwick", "Vellumor Pro"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}
