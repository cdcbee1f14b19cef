// Format dispatch: extension map, detection, Decode/Encode on streams and
// FILEs, Load and Save on file names.
#include <ctype.h>
#include <string.h>

#include "base/path_util.h"
#include "base/str_util.h"
#include "image/raster.h"
#include "image/raster_codec.h"
#include "image/raster_file.h"
#include "image/save_stages.h"

namespace {

// Detection: formats with a signature first, then the ones that may have
// none (a headerless bitmap, TGA, metafiles).
const uint32_t kSignedOrder[] = {kFormatBmp, kFormatJpg, kFormatIco, kFormatGif, kFormatPng, kFormatTif, kFormatPcx};
const uint32_t kHeaderlessOrder[] = {kFormatBmp, kFormatTga, kFormatWmf};

// The extensions the formats are known by, lower case: the one map of
// names to formats. The dispatch matches their first three characters, a
// file name its whole extension. readOnly: recognised when reading, never
// a name the program's files are written under.
struct ExtensionRow {
    const char* ext;
    uint32_t id;
    bool readOnly;
};
const ExtensionRow kExtensions[] = {
    {"bmp", kFormatBmp, false}, {"jpg", kFormatJpg, false}, {"jpeg", kFormatJpg, false}, {"jpe", kFormatJpg, true},
    {"jfi", kFormatJpg, true},  {"gif", kFormatGif, false}, {"png", kFormatPng, false},  {"ico", kFormatIco, false},
    {"cur", kFormatIco, false}, {"tif", kFormatTif, false}, {"tiff", kFormatTif, false}, {"tga", kFormatTga, false},
    {"pcx", kFormatPcx, false}, {"wmf", kFormatWmf, false}, {"emf", kFormatWmf, false},
};

}  // namespace

uint32_t CRaster::TypeFromExtension(const char* ext) {
    if (!ext)
        return 0;
    char e[4] = {0, 0, 0, 0};
    for (int i = 0; i < 3 && ext[i]; i++)
        e[i] = (char)tolower((unsigned char)ext[i]);
    for (const ExtensionRow& row : kExtensions)
        if (strncmp(e, row.ext, 3) == 0)
            return row.id;
    return 0;
}

uint32_t CRaster::TypeFromFileName(const char* path, bool ownNamesOnly) {
    if (!path)
        return 0;
    const char* ext = FileExtension(path);
    for (const ExtensionRow& row : kExtensions)
        if (StrCmpAsciiNoCase(ext, row.ext) == 0 && !(ownNamesOnly && row.readOnly))
            return row.id;
    return 0;
}

// One decode attempt with one codec; on failure the stream is back at start.
static bool TryCodec(CRaster* self, const RasterCodec* codec, CRasterFile* f, long start, bool signatureOnly) {
    CRaster* obj = codec->create();
    if (!obj) {
        self->SetLastError("can't allocate memory");
        return false;
    }
    obj->CopySettings(*self);
    obj->Info().transparentIndex = -1;  // the file tells its own
    obj->SetEscape(self->GetEscape());  // the size-only request and a cancel travel too
    bool sizeOnly = self->GetEscape() == (uint32_t)-1;
    bool ok = codec->decode(obj, f, signatureOnly);
    // A decode that produced no pixels is no picture (unless only the size was asked).
    if (ok && !obj->IsValid() && !(sizeOnly && obj->Width() > 0 && obj->Height() > 0)) {
        if (!obj->GetLastError()[0])
            obj->SetLastError("no picture data");
        ok = false;
    }
    if (ok && self->TakeOver(*obj, true)) {
        delete obj;
        return true;
    }
    // The multi-frame formats tell how many frames the file holds even when
    // the wanted one failed; a codec that found none (not its format) says
    // nothing, so a later detection step keeps the count.
    uint32_t id = codec->formatId;
    if ((id == kFormatIco || id == kFormatGif || id == kFormatTif) && obj->GetFrameCount() > 0)
        self->SetFrameCount(obj->GetFrameCount());
    self->SetLastError(obj->GetLastError());
    f->Seek(start, 0);
    delete obj;
    return false;
}

bool CRaster::Decode(CRasterFile* f, uint32_t formatId) {
    if (!f) {
        SetLastError("null file handler");
        return false;
    }
    long start = f->Tell();
    if (formatId == kFormatAny) {
        for (uint32_t id : kSignedOrder) {
            const RasterCodec* c = FindRasterCodec(id);
            if (c && TryCodec(this, c, f, start, true))
                return true;
        }
        for (uint32_t id : kHeaderlessOrder) {
            const RasterCodec* c = FindRasterCodec(id);
            if (c && c->headerless && TryCodec(this, c, f, start, false))
                return true;
        }
    } else {
        const RasterCodec* c = FindRasterCodec(formatId);
        if (c)
            return TryCodec(this, c, f, start, false);
    }
    SetLastError("Decode: Unknown or wrong format");
    return false;
}

bool CRaster::Decode(FILE* file, uint32_t formatId) {
    if (!file) {
        SetLastError("null file handler");
        return false;
    }
    CRasterDiskFile f(file, false);
    return Decode(&f, formatId);
}

bool CRaster::Encode(CRasterFile* f, uint32_t formatId) {
    const RasterCodec* c = FindRasterCodec(formatId);
    if (!c || !c->encode) {
        SetLastError("Encode: Unknown format");
        return false;
    }
    CRaster* obj = c->create();
    if (!obj) {
        SetLastError("can't allocate memory");
        return false;
    }
    obj->MakeAlias(this);
    bool ok = c->encode(obj, f);
    if (!ok)
        SetLastError(obj->GetLastError());
    delete obj;
    return ok;
}

bool CRaster::Encode(FILE* file, uint32_t formatId) {
    CRasterDiskFile f(file, false);
    return Encode(file ? &f : nullptr, formatId);
}

bool CRaster::CheckBeforeEncode(CRasterFile* f) {
    if (!f) {
        SetLastError("null file handler");
        return false;
    }
    if (!dib_) {
        SetLastError("null image!!!");
        return false;
    }
    return true;
}

bool CRaster::Load(const char* fileName, uint32_t formatId) {
    if (!fileName)
        return false;
    if (FormatIndex(formatId) != 0) {
        FILE* fp = fopen(fileName, "rb");
        if (!fp)
            return false;
        bool ok = Decode(fp, formatId);
        fclose(fp);
        if (ok)
            return true;
    }
    char kept[256];
    StrCopy(kept, countof(kept), info_.lastError);
    FILE* fp = fopen(fileName, "rb");
    if (!fp)
        return false;
    bool ok = Decode(fp, kFormatAny);
    fclose(fp);
    if (!ok && formatId != kFormatAny)
        SetLastError(kept);
    return ok;
}

bool CRaster::Save(const char* fileName, uint32_t formatId) {
    if (!fileName)
        return false;
    MarkSaveStage(kStageFileWrite, true);
    FILE* fp = fopen(fileName, "wb");
    MarkSaveStage(kStageFileWrite, false);
    if (!fp)
        return false;
    bool ok = Encode(fp, formatId);
    MarkSaveStage(kStageFileWrite, true);
    int closed = fclose(fp);
    MarkSaveStage(kStageFileWrite, false);
    if (closed != 0 && ok) {  // the last bytes may only fail here
        SetLastError("can't write the file");
        ok = false;
    }
    return ok;
}
