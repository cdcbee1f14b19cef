#include "zip_test_util.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/test_support.h"

std::vector<SourceFile> SourceFiles() {
    std::vector<SourceFile> files;
    files.push_back({"notes.txt", TextLikeBytes(5000, 1)});
    files.push_back({"random.bin", RandomBytes(70000, 2)});
    files.push_back({"sub\\deep.cfg", TextLikeBytes(20000, 3)});
    files.push_back({"ro.txt", "read only text\r\n", true});
    std::string pe(300, '\0');
    pe[0] = 'M';
    pe[1] = 'Z';
    pe[60] = 64;
    pe.replace(64, 4, std::string("PE\0\0", 4));
    files.push_back({"tool.exe", pe});
    files.push_back({"packed.ZIP", RandomBytes(3000, 4)});
    files.push_back({"archive.tgz", RandomBytes(100, 5)});
    files.push_back({"no_extension", TextLikeBytes(900, 6)});
    files.push_back({"not.zip.txt", TextLikeBytes(800, 7)});
    return files;
}

std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

static std::string Slashed(std::string s) {
    for (char& c : s)
        if (c == '\\')
            c = '/';
    return s;
}

void WriteSourceTree(const std::string& dir, const std::vector<SourceFile>& files) {
    std::string cmd = "set -e\n";
    for (const SourceFile& f : files) {
        std::string rel = Slashed(f.name);
        size_t slash = rel.rfind('/');
        if (slash != std::string::npos)
            cmd += "mkdir -p " + ShellQuote(rel.substr(0, slash)) + "\n";
    }
    RunPeer(dir, cmd);
    cmd = "set -e\n";
    for (const SourceFile& f : files) {
        std::string rel = Slashed(f.name);
        ASSERT_TRUE(WriteFileBytes(PathJoin(dir, rel), f.bytes)) << rel;
        cmd += "touch -m -d @" + std::to_string(kSourceMtime) + " " + ShellQuote(rel) + "\n";
        cmd += "touch -a -d @" + std::to_string(kSourceAtime) + " " + ShellQuote(rel) + "\n";
        if (f.readOnly)
            cmd += "chmod 444 " + ShellQuote(rel) + "\n";
    }
    std::string out;
    ASSERT_EQ(RunPeer(dir, cmd, &out), 0) << out;
}

std::string PeerScript() {
    return std::string(VP_SOURCE_DIR) + "/tests/zip/zip_peer.py";
}

bool PeerInspect(const std::string& dir, const std::string& archive, const char* password, std::vector<PeerFields>* out,
                 std::string* log) {
    std::string cmd = "rm -rf peer-out && mkdir peer-out && /usr/bin/python3 " + PeerScript() + " inspect " +
                      ShellQuote(UnixPathOf(archive)) + " peer-out";
    if (password)
        cmd += " " + ShellQuote(password);
    if (RunPeer(dir, cmd, log) != 0)
        return false;
    std::istringstream lines(*log);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, 6, "entry ") != 0)
            continue;
        PeerFields fields;
        std::istringstream words(line.substr(6));
        std::string word;
        while (words >> word) {
            size_t eq = word.find('=');
            if (eq != std::string::npos)
                fields[word.substr(0, eq)] = word.substr(eq + 1);
        }
        ReadFileBytes(PathJoin(dir, "peer-out/" + std::to_string(out->size())), &fields["data"]);
        out->push_back(fields);
    }
    return true;
}

long long UnixOf(const FILETIME& ft) {
    unsigned long long v = ((unsigned long long)ft.dwHighDateTime << 32) | ft.dwLowDateTime;
    return (long long)(v / 10000000ull) - 11644473600ll;
}

uint32_t ReadEntry(ZipHandle* zip, int index, std::string* data) {
    ZipItem item;
    uint32_t rc = UnzipGetItem(zip, index, &item);
    if (rc != kZipOk)
        return rc;
    data->assign(item.uncompressedSize, '\0');
    char one;
    return UnzipItemToMemory(zip, index, item.uncompressedSize ? &(*data)[0] : &one,
                             item.uncompressedSize ? item.uncompressedSize : 1);
}
