// Waiting for a data folder that can't be created yet (a network or
// removable drive not ready at log-on): retries once a second with a
// blinking tray icon whose one-item menu lets the user give up.
#pragma once
#include <windows.h>

class CDataPathWait {
  public:
    explicit CDataPathWait(HINSTANCE instance) : instance_(instance) {}
    CDataPathWait(const CDataPathWait&) = delete;
    CDataPathWait& operator=(const CDataPathWait&) = delete;

    // 0 the folder exists (or was created), 1 the user cancelled, 2 the tries
    // ran out. tries < 0 never runs out. iconId: the program icon resource.
    int Wait(const char* folder, int tries, int iconId, const char* tip, const char* menuText);

    // 0 the folder exists or was created with its missing parents, 1 a level
    // could not be created, 2 an empty path.
    static int CreateFolderPath(const char* path);

  private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void OnTray(LPARAM mouseMsg);
    void ShowIcon(HICON icon);

    char tip_[260] = "";
    char menuText_[260] = "";
    HINSTANCE instance_;
    HWND window_ = nullptr;
    bool cancelled_ = false;
};

// 0 when a file can be created in the folder, non-zero otherwise.
int TestDataFolderWrite(const char* folder);
