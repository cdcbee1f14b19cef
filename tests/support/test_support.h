// Helpers shared by the test executables: private folders, whole-file
// reads and writes, and running Linux-side peer programs (unzip, zip,
// python3) from a test, under Wine as natively.
#pragma once
#include <string>

// A new empty folder for one test below the run's test root. Under Wine the
// path is a Windows path on drive Z: (forward slashes).
std::string MakeTestDir(const char* name);
// The Linux path of a path that MakeTestDir or PathJoin gave, and back.
std::string UnixPathOf(const std::string& path);
std::string PathOfUnix(const std::string& unixPath);
std::string PathJoin(const std::string& dir, const std::string& name);

bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool ReadFileBytes(const std::string& path, std::string* bytes);
bool FileExists(const std::string& path);

// Runs a shell command on the Linux side in the folder dir (a test path);
// returns its exit code (-1 when it could not be run) and its output.
int RunPeer(const std::string& dir, const std::string& command, std::string* output = nullptr);

// Deterministic test data.
std::string RandomBytes(size_t n, unsigned seed);
std::string TextLikeBytes(size_t n, unsigned seed);  // words and key=value lines

#ifdef _WIN32
// Sets the desktop DPI that each process reads at its start (0 removes the
// value); returns the value before, or 0 when there was none.
unsigned long SetDesktopLogPixels(unsigned long dpi);
#endif
