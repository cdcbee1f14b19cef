// Helpers of the update tests.
#include "update_test_util.h"

#include <windows.h>
#include <string.h>
#include <wincrypt.h>

#include "base/str_util.h"
#include "framework/app.h"
#include "framework/install_settings.h"
#include "settings/data_folders.h"
#include "support/test_support.h"

// One test certificate authority for the whole test program: the system's
// roots are read at most once a minute, so every server of this run is
// signed by the same authority.
static const std::string& AuthorityDir() {
    static const std::string dir = MakeTestDir("test_authority");
    return dir;
}

bool HttpPeer::Start() {
    dir_ = MakeTestDir("http_peer");
    std::string script = std::string(VP_SOURCE_DIR) + "/tests/update/http_peer.py";
    std::string out;
    int rc = RunPeer(dir_,
                     "nohup /usr/bin/python3 '" + script + "' '" + UnixPathOf(AuthorityDir()) +
                         "' >server.log 2>&1 & echo $! >server.pid",
                     &out);
    if (rc != 0)
        return false;
    running_ = true;
    for (int i = 0; i < 200; i++) {
        if (FileExists(PathJoin(dir_, "ready")))
            return TrustTestAuthority();
        Sleep(50);
    }
    return false;
}

bool HttpPeer::TrustTestAuthority() {
    std::string der;
    if (!ReadFileBytes(PathJoin(AuthorityDir(), "ca.der"), &der) || der.empty())
        return false;
    // Each test run has a prefix of its own: the authority stays in its ROOT store.
    return CertAddEncodedCertificateToSystemStoreA("ROOT", (const BYTE*)der.data(), (DWORD)der.size()) != FALSE;
}

void HttpPeer::Stop() {
    if (!running_)
        return;
    RunPeer(dir_, "kill $(cat server.pid)");
    running_ = false;
}

std::string HttpPeer::Log() const {
    std::string log;
    ReadFileBytes(PathJoin(dir_, "requests.log"), &log);
    return log;
}

void HttpPeer::ClearLog() {
    WriteFileBytes(PathJoin(dir_, "requests.log"), "");
}

void SetUpProgram(const char* product, const std::string& dataFolder, const char* versionUrl) {
    StrCopy(gApp.productName, countof(gApp.productName), product);
    gApp.versionMajor = 3;
    gApp.versionMinor = 2;
    gApp.versionBuild = 10;
    gApp.instance = GetModuleHandleA(nullptr);
    StrCopy(gUserDataFolder, countof(gUserDataFolder), dataFolder.c_str());
    for (char* p = gUserDataFolder; *p; p++)
        if (*p == '/')
            *p = '\\';
    memset(gApp.installSettings + kInstallVersionUrl, 0, 260);
    StrCopy((char*)gApp.installSettings + kInstallVersionUrl, 260, versionUrl ? versionUrl : "");
}

std::string DataFolderFile(const char* name) {
    return std::string(gUserDataFolder) + "\\" + name;
}
