// Shared pieces of the zip tests: a source tree with known times and
// attributes, and the parsed output of the Python peer.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "zip/zip.h"

// Unix times the source tree's files get (last write, last access).
constexpr unsigned kSourceMtime = 1614834368;  // 2021-03-04 05:06:08 UTC
constexpr unsigned kSourceAtime = 1600000000;

struct SourceFile {
    std::string name;  // entry name, '\' separated where the test wants that
    std::string bytes;
    bool readOnly = false;
};

// The files of the source tree (text, random, nested, read-only, PE, .ZIP).
std::vector<SourceFile> SourceFiles();
// Writes them below dir with their times and attributes (through peers).
void WriteSourceTree(const std::string& dir, const std::vector<SourceFile>& files);

// Runs the Python peer's inspect on an archive; entries keyed by name.
typedef std::map<std::string, std::string> PeerFields;
bool PeerInspect(const std::string& dir, const std::string& archive, const char* password, std::vector<PeerFields>* out,
                 std::string* log);

std::string PeerScript();  // the Linux path of zip_peer.py
std::string ShellQuote(const std::string& s);

// Unix seconds of a FILETIME.
long long UnixOf(const FILETIME& ft);
// Reads a whole entry through UnzipItemToMemory; the code of the last call.
uint32_t ReadEntry(ZipHandle* zip, int index, std::string* data);
