// Test helpers. Peers run through a small shell script whose exit code is
// written to a file: Wine starts Linux programs but does not pass their
// exit codes back, so the test waits for that file.
#include "test_support.h"

#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

static std::string TestRootUnix() {
    static std::string root;
    if (root.empty()) {
        const char* env = getenv("VP_TEST_ROOT");
        if (env && *env) {
            root = env;
        } else {
#ifdef _WIN32
            root = "/tmp/vp-tests-" + std::to_string(GetCurrentProcessId());
#else
            root = "/tmp/vp-tests-" + std::to_string(getpid());
#endif
        }
    }
    return root;
}

std::string PathOfUnix(const std::string& unixPath) {
#ifdef _WIN32
    return "Z:" + unixPath;
#else
    return unixPath;
#endif
}

std::string UnixPathOf(const std::string& path) {
    std::string p = path;
    if (p.size() >= 2 && (p[0] == 'Z' || p[0] == 'z') && p[1] == ':')
        p = p.substr(2);
    for (char& c : p)
        if (c == '\\')
            c = '/';
    return p;
}

std::string PathJoin(const std::string& dir, const std::string& name) {
    return dir + "/" + name;
}

// A name below the test root that no earlier program used: Wine hands a
// later program the process id of an earlier one, so the id and a counter
// alone may name what that program left behind.
static std::string UnusedName(const std::string& prefix, const char* probeSuffix) {
    static int counter = 0;
#ifdef _WIN32
    std::string pid = std::to_string(GetCurrentProcessId());
#else
    std::string pid = std::to_string(getpid());
#endif
    std::string name;
    std::error_code ec;
    do
        name = prefix + pid + "-" + std::to_string(++counter);
    while (fs::exists(PathOfUnix(name + probeSuffix), ec));
    return name;
}

std::string MakeTestDir(const char* name) {
    std::string dir = PathOfUnix(UnusedName(TestRootUnix() + "/" + name + "-", ""));
    std::error_code ec;
    fs::create_directories(dir, ec);
    return dir;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), (std::streamsize)bytes.size());
    return (bool)f;
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return false;
    std::ostringstream s;
    s << f.rdbuf();
    *bytes = s.str();
    return true;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

int RunPeer(const std::string& dir, const std::string& command, std::string* output) {
    // The script and its output stay out of dir, which may be archived.
    std::string peers = TestRootUnix() + "/.peers";
    std::error_code ec;
    fs::create_directories(PathOfUnix(peers), ec);
    std::string base = UnusedName(peers + "/", ".sh");
    std::string script = "cd '" + UnixPathOf(dir) + "' || exit 127\n(\n" + command + "\n) >'" + base +
                         ".out' 2>&1\necho $? >'" + base + ".rc.tmp'\nmv '" + base + ".rc.tmp' '" + base + ".rc'\n";
    if (!WriteFileBytes(PathOfUnix(base + ".sh"), script))
        return -1;
#ifdef _WIN32
    std::string cmd = "/bin/sh " + base + ".sh";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    std::string rcText;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    while (!ReadFileBytes(PathOfUnix(base + ".rc"), &rcText)) {
        if (std::chrono::steady_clock::now() > deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
#else
    if (system(("/bin/sh '" + base + ".sh'").c_str()) == -1)
        return -1;
    std::string rcText;
    if (!ReadFileBytes(base + ".rc", &rcText))
        return -1;
#endif
    if (output)
        ReadFileBytes(PathOfUnix(base + ".out"), output);
    return atoi(rcText.c_str());
}

std::string RandomBytes(size_t n, unsigned seed) {
    std::string s(n, '\0');
    unsigned x = seed * 2654435761u + 1;
    for (size_t i = 0; i < n; i++) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        s[i] = (char)(x >> 24);
    }
    return s;
}

std::string TextLikeBytes(size_t n, unsigned seed) {
    static const char* const kWords[] = {"gOpt.", "Capture",     "Delay",  "Path", "=",    "1",
                                         "0",     "C:\\Users\\", "Images", ".png", "true", "false",
                                         "Width", "Height",      "\r\n",   " "};
    std::string s;
    std::string r = RandomBytes(n, seed);
    for (size_t i = 0; s.size() < n; i++)
        s += kWords[(unsigned char)r[i % r.size()] % 16];
    s.resize(n);
    return s;
}

#ifdef _WIN32
unsigned long SetDesktopLogPixels(unsigned long dpi) {
    HKEY key;
    DWORD old = 0, cb = sizeof old, value = dpi;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return 0;
    if (RegQueryValueExA(key, "LogPixels", nullptr, nullptr, (BYTE*)&old, &cb) != ERROR_SUCCESS)
        old = 0;
    if (value)
        RegSetValueExA(key, "LogPixels", 0, REG_DWORD, (const BYTE*)&value, sizeof value);
    else
        RegDeleteValueA(key, "LogPixels");
    RegCloseKey(key);
    return old;
}
#endif
