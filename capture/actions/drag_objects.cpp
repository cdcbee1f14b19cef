// The OLE objects of dragging the image out: a data object over fixed
// formats and global blocks, a drop source driven by the mouse and
// Escape, and a format enumerator.
#include <windows.h>
// The headers below need windows.h first.
#include <ole2.h>
#include <shlobj.h>
#include <stdlib.h>
#include <string.h>

#include <new>

#include "capture/actions/drag_out.h"

namespace {

// A deep copy of a FORMATETC: the target device in task memory.
bool CopyFormat(FORMATETC* dst, const FORMATETC& src) {
    *dst = src;
    if (src.ptd) {
        dst->ptd = (DVTARGETDEVICE*)CoTaskMemAlloc(src.ptd->tdSize);
        if (!dst->ptd)
            return false;
        memcpy(dst->ptd, src.ptd, src.ptd->tdSize);
    }
    return true;
}

// IUnknown of an object with one interface I (identified by iid): the
// reference count starts at 1, changes interlocked, and the last Release
// destroys the object.
template <class I, const IID* iid>
class CUnknownImpl : public I {
  public:
    virtual ~CUnknownImpl() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID wanted, void** out) override {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(wanted, IID_IUnknown) || IsEqualIID(wanted, *iid)) {
            this->AddRef();
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return (ULONG)InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0)
            delete this;
        return (ULONG)n;
    }

  private:
    LONG refs_ = 1;
};

class CEnumFormatEtc final : public CUnknownImpl<IEnumFORMATETC, &IID_IEnumFORMATETC> {
  public:
    CEnumFormatEtc() = default;
    ~CEnumFormatEtc() override {
        for (UINT i = 0; i < count_; i++)
            if (formats_[i].ptd)
                CoTaskMemFree(formats_[i].ptd);
        free(formats_);
    }
    bool Init(UINT count, const FORMATETC* formats, UINT index) {
        formats_ = (FORMATETC*)calloc(count, sizeof(FORMATETC));
        if (!formats_)
            return false;
        for (; count_ < count; count_++)
            if (!CopyFormat(&formats_[count_], formats[count_]))
                return false;
        index_ = index;
        return true;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG n, FORMATETC* out, ULONG* fetched) override {
        if (n == 0 || !out)
            return E_INVALIDARG;
        ULONG copied = 0;
        while (copied < n && index_ < count_) {
            if (!CopyFormat(&out[copied], formats_[index_]))
                break;
            copied++;
            index_++;
        }
        if (fetched)
            *fetched = copied;
        return copied == n ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG n) override {
        index_ += n;
        return index_ > count_ ? S_FALSE : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        index_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC** out) override {
        if (!out)
            return E_INVALIDARG;
        CEnumFormatEtc* e = new (std::nothrow) CEnumFormatEtc;
        if (!e || !e->Init(count_, formats_, index_)) {
            if (e)
                e->Release();
            *out = nullptr;
            return E_OUTOFMEMORY;
        }
        *out = e;
        return S_OK;
    }

  private:
    ULONG index_ = 0;
    UINT count_ = 0;
    FORMATETC* formats_ = nullptr;
};

class CDropSource final : public CUnknownImpl<IDropSource, &IID_IDropSource> {
  public:
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override {
        if (escape)
            return DRAGDROP_S_CANCEL;
        if (!(keys & MK_LBUTTON))
            return DRAGDROP_S_DROP;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

class CDataObject final : public CUnknownImpl<IDataObject, &IID_IDataObject> {
  public:
    ~CDataObject() override {
        for (int i = 0; i < count_; i++)
            ReleaseStgMedium(&media_[i]);
        free(formats_);
        free(media_);
    }
    bool Init(const FORMATETC* formats, const STGMEDIUM* media, int count) {
        formats_ = (FORMATETC*)calloc((size_t)count, sizeof(FORMATETC));
        media_ = (STGMEDIUM*)calloc((size_t)count, sizeof(STGMEDIUM));
        if (!formats_ || !media_)
            return false;
        memcpy(formats_, formats, (size_t)count * sizeof(FORMATETC));
        memcpy(media_, media, (size_t)count * sizeof(STGMEDIUM));
        count_ = count;
        return true;
    }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (!format || !medium)
            return E_INVALIDARG;
        int i = Find(*format);
        if (i < 0)
            return DV_E_FORMATETC;
        medium->tymed = formats_[i].tymed;
        medium->pUnkForRelease = nullptr;
        if (formats_[i].tymed != TYMED_HGLOBAL)
            return DV_E_FORMATETC;
        medium->hGlobal = CopyBlock(media_[i].hGlobal);
        return medium->hGlobal ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return DV_E_FORMATETC; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        return format && Find(*format) >= 0 ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out)
            out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
        if (direction != DATADIR_GET)
            return E_NOTIMPL;
        return CreateEnumFormatEtc((UINT)count_, formats_, out);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

  private:
    int Find(const FORMATETC& f) const {
        for (int i = 0; i < count_; i++)
            if ((f.tymed & formats_[i].tymed) && f.cfFormat == formats_[i].cfFormat &&
                f.dwAspect == formats_[i].dwAspect)
                return i;
        return -1;
    }
    // A fixed copy of the block for the receiver, who frees it.
    static HGLOBAL CopyBlock(HGLOBAL block) {
        SIZE_T size = GlobalSize(block);
        const void* src = size ? GlobalLock(block) : nullptr;
        if (!src)
            return nullptr;
        HGLOBAL copy = GlobalAlloc(GMEM_FIXED, size);
        if (copy)
            memcpy((void*)copy, src, size);
        GlobalUnlock(block);
        return copy;
    }

    int count_ = 0;
    FORMATETC* formats_ = nullptr;
    STGMEDIUM* media_ = nullptr;
};

}  // namespace

HRESULT CreateEnumFormatEtc(UINT count, const FORMATETC* formats, IEnumFORMATETC** out) {
    if (!out)
        return E_INVALIDARG;
    *out = nullptr;
    if (count == 0 || !formats)
        return E_INVALIDARG;
    CEnumFormatEtc* e = new (std::nothrow) CEnumFormatEtc;
    if (!e)
        return E_OUTOFMEMORY;
    if (!e->Init(count, formats, 0)) {
        e->Release();
        return E_OUTOFMEMORY;
    }
    *out = e;
    return S_OK;
}

HRESULT CreateDropSource(IDropSource** out) {
    if (!out)
        return E_INVALIDARG;
    *out = new (std::nothrow) CDropSource;
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT CreateDataObject(const FORMATETC* formats, const STGMEDIUM* media, int count, IDataObject** out) {
    if (!out)
        return E_INVALIDARG;
    *out = nullptr;
    if (count < 0 || (count > 0 && (!formats || !media)))
        return E_INVALIDARG;
    CDataObject* d = new (std::nothrow) CDataObject;
    if (!d)
        return E_OUTOFMEMORY;
    if (count > 0 && !d->Init(formats, media, count)) {
        d->Release();
        return E_OUTOFMEMORY;
    }
    *out = d;
    return S_OK;
}

HGLOBAL MakeDropFiles(const char* path) {
    size_t len = strlen(path);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE, sizeof(DROPFILES) + len + 2);
    DROPFILES* files = block ? (DROPFILES*)GlobalLock(block) : nullptr;
    if (!files) {
        if (block)
            GlobalFree(block);
        return nullptr;
    }
    files->pFiles = sizeof(DROPFILES);
    files->fWide = FALSE;
    memcpy((BYTE*)files + sizeof(DROPFILES), path, len);
    GlobalUnlock(block);
    return block;
}
