// Enumerating the files of one pattern.
#include "file_enum.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

bool CFileEnum::Open(const char* format, ...) {
    Close();
    va_list args;
    va_start(args, format);
    int n = vsnprintf(pattern_, sizeof pattern_, format, args);
    va_end(args);
    if (n < 0 || (size_t)n >= sizeof pattern_) {
        pattern_[0] = '\0';
        return false;
    }
    StrCopy(folder_, countof(folder_), pattern_);
    char* slash = strrchr(folder_, '\\');
    if (slash)
        *slash = '\0';
    else
        folder_[0] = '\0';
    return true;
}

bool CFileEnum::Next() {
    if (!pattern_[0])
        return false;
    if (!started_) {
        started_ = true;
        search_ = FindFirstFileExA(pattern_, FindExInfoBasic, &data_, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
        if (search_ == INVALID_HANDLE_VALUE)
            search_ = FindFirstFileA(pattern_, &data_);
        if (search_ == INVALID_HANDLE_VALUE)
            return false;
    } else if (search_ == INVALID_HANDLE_VALUE || !FindNextFileA(search_, &data_)) {
        return false;
    }
    found_++;
    return true;
}

const char* CFileEnum::Path() {
    path_[0] = '\0';
    if (search_ == INVALID_HANDLE_VALUE)
        return path_;
    bool fits = folder_[0] ? StrFmt(path_, countof(path_), "%s\\%s", folder_, data_.cFileName)
                           : StrCopy(path_, countof(path_), data_.cFileName);
    if (!fits)
        path_[0] = '\0';
    return path_;
}

void CFileEnum::Close() {
    if (search_ != INVALID_HANDLE_VALUE)
        FindClose(search_);
    search_ = INVALID_HANDLE_VALUE;
    found_ = 0;
    started_ = false;
}
