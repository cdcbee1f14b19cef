// A drop target in a process of its own for the drag-out tests, as an
// upload or chat client is: it takes a copy of the dropped file's name and
// reads the file only later, when the test signals that the drag has ended.
// Usage: drop_reader REPORT EVENT X Y W H. It shows a popup at (X, Y) of
// W x H pixels, registered for drops; the first drop's path goes into
// REPORT ("entered <path>" at DragEnter, "dropped <path>" at Drop); once
// the named event is set it copies the file to REPORT.copy, appends
// "read <bytes>" (or "missing") to REPORT and ends. A drag that only
// entered and left ends it as well when the event is set.
#include <windows.h>
// The headers below need windows.h first.
#include <ole2.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

char gReport[MAX_PATH];
char gDropped[MAX_PATH];

void Append(const char* line) {
    FILE* f = fopen(gReport, "ab");
    if (!f)
        return;
    fprintf(f, "%s\n", line);
    fclose(f);
}

void FirstPath(IDataObject* data, char* path, size_t cch) {
    path[0] = 0;
    FORMATETC f = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM m = {};
    if (FAILED(data->GetData(&f, &m)))
        return;
    DragQueryFileA((HDROP)m.hGlobal, 0, path, (UINT)cch);
    ReleaseStgMedium(&m);
}

class LaterReader : public IDropTarget {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        char path[MAX_PATH], line[MAX_PATH + 16];
        FirstPath(data, path, sizeof path);
        snprintf(line, sizeof line, "entered %s", path);
        Append(line);
        *effect &= DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
        *effect &= DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        // Only the name is kept now, as a file field or an upload queue does.
        char line[MAX_PATH + 16];
        FirstPath(data, gDropped, sizeof gDropped);
        snprintf(line, sizeof line, "dropped %s", gDropped);
        Append(line);
        *effect &= DROPEFFECT_COPY;
        return S_OK;
    }
};

void ReadLater() {
    if (!gDropped[0])
        return;
    char copy[MAX_PATH + 8], line[64];
    snprintf(copy, sizeof copy, "%s.copy", gReport);
    HANDLE h = CreateFileA(gDropped, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        Append("missing");
        return;
    }
    DWORD size = GetFileSize(h, nullptr), got = 0;
    char* bytes = (char*)malloc(size ? size : 1);
    bool ok = bytes && ReadFile(h, bytes, size, &got, nullptr) && got == size;
    CloseHandle(h);
    FILE* f = ok ? fopen(copy, "wb") : nullptr;
    if (f) {
        fwrite(bytes, 1, size, f);
        fclose(f);
    }
    free(bytes);
    snprintf(line, sizeof line, "read %lu", (unsigned long)got);
    Append(ok ? line : "missing");
}

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        FillRect(dc, &ps.rcPaint, (HBRUSH)GetStockObject(GRAY_BRUSH));
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (__argc < 7)
        return 2;
    snprintf(gReport, sizeof gReport, "%s", __argv[1]);
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, __argv[2]);
    int x = atoi(__argv[3]), y = atoi(__argv[4]), w = atoi(__argv[5]), h = atoi(__argv[6]);
    if (!done || FAILED(OleInitialize(nullptr)))
        return 3;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.lpszClassName = "VpDropReader";
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, wc.lpszClassName, "drop reader",
                                WS_POPUP, x, y, w, h, nullptr, nullptr, instance, nullptr);
    LaterReader target;
    if (!hwnd || FAILED(RegisterDragDrop(hwnd, &target)))
        return 4;
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    UpdateWindow(hwnd);
    Append("ready");
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &done, FALSE, 30000, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) {
            ReadLater();
            break;
        }
        if (r == WAIT_TIMEOUT)
            break;
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&m);
    }
    RevokeDragDrop(hwnd);
    DestroyWindow(hwnd);
    OleUninitialize();
    CloseHandle(done);
    return 0;
}
