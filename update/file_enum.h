// CFileEnum: the files matching one pattern ("folder\name-*.ext"), one after
// another, with their full paths.
#pragma once
#include <windows.h>

#include "base/str_util.h"

class CFileEnum {
  public:
    CFileEnum() = default;
    ~CFileEnum() { Close(); }
    CFileEnum(const CFileEnum&) = delete;
    CFileEnum& operator=(const CFileEnum&) = delete;

    // Formats the pattern (used literally afterwards); false when it does not fit.
    bool Open(const char* format, ...) __attribute__((format(STR_PRINTF_FORMAT, 2, 3)));
    // The first match on the first call, the following ones after; false at the end.
    bool Next();
    // "folder\name" of the current match (the name alone when the pattern
    // has no folder part; empty when no search is open or the path does not fit).
    const char* Path();
    const WIN32_FIND_DATAA& Data() const { return data_; }
    int Found() const { return found_; }
    void Close();

  private:
    HANDLE search_ = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA data_ = {};
    char pattern_[kCchPath] = "";
    char folder_[kCchPath] = "";
    int found_ = 0;
    bool started_ = false;
    char path_[kCchPath] = "";
};
