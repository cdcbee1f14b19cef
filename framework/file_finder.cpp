// The file finder. FindFirstFile also matches 8.3 short names ("*.qcg"
// finds "x.qcg_tmp" through "XQCG_T~1.QCG"), so every long name found is
// matched against the pattern again. Reparse points (links, junctions) are
// not entered and the walk stops at kMaxDepth, so a loop can't run away.
#include "file_finder.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

static bool SamePathNoCase(const char* a, const char* b) {
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a, -1, b, -1) == CSTR_EQUAL;
}

static bool ListHolds(const CDynArray<FinderPath>& list, const char* path) {
    for (int i = 0; i < list.count; i++)
        if (SamePathNoCase(*list.At(i), path))
            return true;
    return false;
}

// "folder\name" into out (kCchPath); false when it would not fit.
static bool JoinPath(FinderPath out, const char* folder, const char* name) {
    size_t len = strlen(folder);
    const char* sep = (len > 0 && (folder[len - 1] == '\\' || folder[len - 1] == '/')) ? "" : "\\";
    return StrFmt(out, kCchPath, "%s%s%s", folder, sep, name);
}

static unsigned char Fold(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? (unsigned char)(c - 'a' + 'A') : c;
}

static bool GlobMatch(const char* name, const char* pat, const char* patEnd) {
    const char* starPat = nullptr;  // position after the last '*'
    const char* starName = nullptr;
    while (*name) {
        if (pat < patEnd && (*pat == '?' || (*pat != '*' && Fold(*pat) == Fold(*name)))) {
            pat++;
            name++;
        } else if (pat < patEnd && *pat == '*') {
            starPat = ++pat;
            starName = name;
        } else if (starPat) {
            pat = starPat;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (pat < patEnd && *pat == '*')
        pat++;
    return pat == patEnd;
}

bool CFileFinder::NameMatches(const char* name, const char* pattern) {
    size_t len = strlen(pattern);
    if (GlobMatch(name, pattern, pattern + len))
        return true;
    return len >= 2 && pattern[len - 2] == '.' && pattern[len - 1] == '*' && !strchr(name, '.') &&
           GlobMatch(name, pattern, pattern + len - 2);
}

CFileFinder::CFileFinder() : separator_(';'), bad_(false) {
    root_[0] = '\0';
    patterns_[0] = '\0';
}

CFileFinder::CFileFinder(const char* root, const char* patternFmt, ...) : separator_(';'), bad_(false) {
    va_list args;
    va_start(args, patternFmt);
    SetAndSearch(root, patternFmt, args);
    va_end(args);
}

int CFileFinder::Search(const char* root, const char* patternFmt, ...) {
    va_list args;
    va_start(args, patternFmt);
    int n = SetAndSearch(root, patternFmt, args);
    va_end(args);
    return n;
}

int CFileFinder::SetAndSearch(const char* root, const char* patternFmt, va_list args) {
    int n = vsnprintf(patterns_, countof(patterns_), patternFmt, args);
    patterns_[countof(patterns_) - 1] = '\0';
    bad_ = n < 0 || (size_t)n >= countof(patterns_);
    if (!StrCopy(root_, countof(root_), root))
        bad_ = true;
    if (bad_) {
        root_[0] = '\0';
        patterns_[0] = '\0';
    }
    return Run(true);
}

int CFileFinder::Run(bool clear) {
    if (clear) {
        files_.RemoveAll();
        folders_.RemoveAll();
    }
    if (bad_ || !root_[0])
        return -1;
    if (!patterns_[0])
        return 0;
    int first = folders_.count;
    folders_.Add(&root_);
    Walk(root_, 0);
    for (int i = first; i < folders_.count; i++)
        CollectMatches(*folders_.At(i));
    return files_.count;
}

void CFileFinder::Walk(const char* folder, int depth) {
    if (depth >= kMaxDepth)
        return;
    FinderPath searchPath;
    if (!JoinPath(searchPath, folder, "*.*"))
        return;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(searchPath, &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        if (strcmp(fd.cFileName, ".") == 0 || strcmp(fd.cFileName, "..") == 0)
            continue;
        FinderPath sub;
        if (!JoinPath(sub, folder, fd.cFileName) || ListHolds(folders_, sub))
            continue;  // a path that doesn't fit is skipped, never cut
        if (folders_.Add(&sub) < 0)
            continue;
        Walk(sub, depth + 1);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

void CFileFinder::CollectMatches(const char* folder) {
    const char* p = patterns_;
    while (*p) {
        const char* end = strchr(p, separator_);
        size_t len = end ? (size_t)(end - p) : strlen(p);
        char pattern[kCchPath];
        if (len > 0 && len < countof(pattern)) {
            memcpy(pattern, p, len);
            pattern[len] = '\0';
            const char* namePart = strrchr(pattern, '\\');
            namePart = namePart ? namePart + 1 : pattern;
            FinderPath searchPath;
            WIN32_FIND_DATAA fd;
            HANDLE h = JoinPath(searchPath, folder, pattern) ? FindFirstFileA(searchPath, &fd) : INVALID_HANDLE_VALUE;
            if (h != INVALID_HANDLE_VALUE) {
                do {
                    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                        continue;
                    if (!NameMatches(fd.cFileName, namePart))
                        continue;  // matched through its short name only
                    FinderPath found;
                    if (JoinPath(found, folder, fd.cFileName) && !ListHolds(files_, found))
                        files_.Add(&found);
                } while (FindNextFileA(h, &fd));
                FindClose(h);
            }
        }
        if (!end)
            break;
        p = end + 1;
    }
}
