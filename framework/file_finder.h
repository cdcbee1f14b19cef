// CFileFinder: the files below a root folder, at any depth, whose names
// match one of a ';'-separated list of wildcard patterns ("*.qcg;*.ini").
#pragma once
#include <stdarg.h>

#include "base/dyn_array.h"
#include "base/str_util.h"

typedef char FinderPath[kCchPath];

class CFileFinder {
  public:
    static constexpr int kMaxDepth = 32;          // folder levels below the root that are walked
    static constexpr size_t kCchPatterns = 2600;  // pattern list, with its NUL

    CFileFinder();
    // Sets the patterns by printf and the root, and searches at once.
    CFileFinder(const char* root, const char* patternFmt, ...) __attribute__((format(STR_PRINTF_FORMAT, 3, 4)));
    CFileFinder(const CFileFinder&) = delete;
    CFileFinder& operator=(const CFileFinder&) = delete;

    // Sets the patterns by printf and the root, empties both lists and
    // searches. Returns the number of files found; 0 for an empty pattern
    // list; -1 when there is no root, or the root or the pattern list does
    // not fit its buffer (lists left empty).
    int Search(const char* root, const char* patternFmt, ...) __attribute__((format(STR_PRINTF_FORMAT, 3, 4)));

    // Full paths "folder\name" of the files found, each once (case ignored),
    // folder by folder in the order walked, and of the folders walked
    // (the root first). Pointers stay valid until the next search.
    int FileCount() const { return files_.count; }
    const char* File(int i) const { return *files_.At(i); }
    int FolderCount() const { return folders_.count; }
    const char* Folder(int i) const { return *folders_.At(i); }

    // True when name matches one wildcard pattern ('*' any run, '?' one
    // character, case ignored; a pattern ending in ".*" also matches a name
    // without a dot).
    static bool NameMatches(const char* name, const char* pattern);

  private:
    int SetAndSearch(const char* root, const char* patternFmt, va_list args);
    int Run(bool clear);
    void Walk(const char* folder, int depth);
    void CollectMatches(const char* folder);

    char root_[kCchPath];
    char patterns_[kCchPatterns];
    char separator_;  // always ';'
    CDynArray<FinderPath> files_;
    CDynArray<FinderPath> folders_;
    bool bad_;  // root or pattern list did not fit
};
