// JPEG sections and Exif data: reading segments up to the scan, the Exif
// directory walk, the first comment, writing a file again from sections,
// and the table of kept Exif segments.
//
// Offsets inside an Exif block count from its TIFF header and are checked
// with subtractions from the block length, never by adding to a pointer,
// so no forged value can wrap. Directories are walked once each, at most
// five levels deep and within a budget of entries.
#include "image/exif.h"

#include <float.h>
#include <limits.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>

#include "base/crc32.h"
#include "base/str_util.h"
#include "image/raster_file.h"

namespace {

constexpr int kSoi = 0xD8, kEoi = 0xD9, kSos = 0xDA, kApp0 = 0xE0, kApp1 = 0xE1, kCom = 0xFE;
constexpr int kMaxNesting = 4;
constexpr int kMaxDirs = 32;
constexpr int kEntryBudget = 4096;
const int kBytesPerFormat[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};

// Tags.
enum : int {
    kTagMake = 271,
    kTagModel = 272,
    kTagOrientation = 274,
    kTagXResolution = 282,
    kTagYResolution = 283,
    kTagResolutionUnit = 296,
    kTagStripOffsets = 273,
    kTagStripByteCounts = 279,
    kTagThumbnailOffset = 513,
    kTagThumbnailLength = 514,
    kTagExposureTime = 33434,
    kTagFNumber = 33437,
    kTagExifOffset = 34665,
    kTagGpsOffset = 34853,
    kTagExposureProgram = 34850,
    kTagIsoEquivalent = 34855,
    kTagExifVersion = 0x9000,
    kTagDateTimeOriginal = 36867,
    kTagCompressionLevel = 37122,
    kTagShutterSpeed = 37377,
    kTagAperture = 37378,
    kTagBrightness = 37379,
    kTagExposureBias = 37380,
    kTagMaxAperture = 37381,
    kTagSubjectDistance = 37382,
    kTagMeteringMode = 37383,
    kTagLightSource = 37384,
    kTagFlash = 37385,
    kTagFocalLength = 37386,
    kTagUserComment = 37510,
    kTagExifImageWidth = 40962,
    kTagExifImageHeight = 40963,
    kTagInteropOffset = 40965,
    kTagFocalPlaneXRes = 41486,
    kTagFocalPlaneYRes = 41487,
    kTagFocalPlaneUnits = 41488,
};

// The 18-byte JFIF segment put in front of a file that starts with neither
// APP0 nor APP1: version 1.1, 300 x 300 dots per inch.
const BYTE kJfifSegment[18] = {0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00,
                               0x01, 0x01, 0x01, 0x01, 0x2C, 0x01, 0x2C, 0x00, 0x00};

float ToFloat(double v) {
    if (v != v)
        return 0.0f;
    if (v > FLT_MAX)
        return FLT_MAX;
    if (v < -FLT_MAX)
        return -FLT_MAX;
    return (float)v;
}

int32_t ToInt(double v) {
    if (v != v)
        return 0;
    if (v >= (double)INT32_MAX)
        return INT32_MAX;
    if (v <= (double)INT32_MIN)
        return INT32_MIN;
    return (int32_t)v;
}

uint32_t ToUint(double v) {
    if (v != v || v <= 0)
        return 0;
    if (v >= (double)UINT32_MAX)
        return UINT32_MAX;
    return (uint32_t)v;
}

// Inches per unit of the resolution-unit tags; 0 for an unknown unit.
float UnitFactor(int unit) {
    switch (unit) {
        case 1:
        case 2:
            return 1.0f;
        case 3:
            return 0.3937008f;
        case 4:
            return 0.03937008f;
        case 5:
            return 0.00003937008f;
    }
    return 0.0f;
}

// Copies at most cch - 1 bytes of a value of cb bytes, up to its first NUL.
void CopyText(char* dst, size_t cch, const BYTE* value, uint32_t cb) {
    size_t n = 0;
    while (n + 1 < cch && n < cb && value[n])
        dst[n] = (char)value[n], n++;
    dst[n] = 0;
}

// The table of kept Exif segments; guarded by a spin lock, as decoders may
// run on more than one thread.
struct KeptBlock {
    uint32_t id;
    BYTE* app1;  // section data: length bytes and contents
    uint32_t app1Size;
    BYTE* com;  // null when the file had no comment
    uint32_t comSize;
    // The picture the file decoded to, so that an edited one is known.
    bool havePicture;
    int width, height, bpp;
    uint32_t pixelsCrc;
};
KeptBlock gKept[kExifKeptBlocks];
int gKeptNext;
uint32_t gKeptLastId;
std::atomic_flag gKeptLock = ATOMIC_FLAG_INIT;

class KeptLock {
  public:
    KeptLock() {
        while (gKeptLock.test_and_set(std::memory_order_acquire)) {
        }
    }
    ~KeptLock() { gKeptLock.clear(std::memory_order_release); }
};

const KeptBlock* FindKept(uint32_t id) {
    if (!id)
        return nullptr;
    for (const KeptBlock& k : gKept)
        if (k.id == id)
            return &k;
    return nullptr;
}

BYTE* CopyBytes(const BYTE* p, uint32_t cb) {
    BYTE* q = (BYTE*)malloc(cb ? cb : 1);
    if (q && cb)
        memcpy(q, p, cb);
    return q;
}

}  // namespace

// State of one Exif block's walk.
struct ExifReader::Walk {
    const BYTE* base;  // TIFF header
    uint32_t length;   // bytes from base to the segment's end
    int budget;        // entries still allowed
    uint32_t visited[kMaxDirs];
    int dirs;
    uint32_t thumbOffset, thumbSize;
    bool haveThumbOffset, haveThumbSize;
    bool thumbnailDir;  // in a directory after the first: only thumbnail tags count
};

ExifReader::ExifReader(ExifInfo* info) : info_(info), ownsInfo_(info == nullptr) {
    if (!info_)
        info_ = (ExifInfo*)calloc(1, sizeof(ExifInfo));
    if (!info_) {  // keep a record to write into, so callers need not check
        static ExifInfo scratch;
        info_ = &scratch;
        ownsInfo_ = false;
    }
    error_[0] = 0;
}

ExifReader::~ExifReader() {
    FreeSections();
    if (ownsInfo_)
        free(info_);
}

void ExifReader::SetError(const char* text) {
    StrCopy(error_, countof(error_), text);
}

void ExifReader::FreeSections() {
    for (int i = 0; i < count_; i++)
        free(sections_[i].data);
    count_ = 0;
}

bool ExifReader::AddSection(BYTE* data, int code, uint32_t size) {
    if (count_ >= (int)countof(sections_)) {
        free(data);
        SetError("Too many sections in jpg file");
        return false;
    }
    sections_[count_++] = Section{data, code, size};
    return true;
}

// The next marker, after at most six padding bytes. False with a text at
// the end of the stream, on too much padding and on EOI (no length follows).
bool ExifReader::ReadMarker(CRasterFile* f, int* marker) {
    *marker = 0xFF;
    for (int i = 0; i < 7 && *marker == 0xFF; i++) {
        long c = f->GetC();
        if (c < 0) {
            SetError("Premature end of file?");
            return false;
        }
        *marker = (int)c;
    }
    if (*marker == 0xFF) {
        SetError("too many padding bytes");
        return false;
    }
    if (*marker == kEoi) {
        SetError("No image in jpeg!");
        return false;
    }
    return true;
}

// One segment after its marker: the two length bytes, then the contents.
// Returns the block (the caller's to free), or null with a text.
BYTE* ExifReader::ReadSegment(CRasterFile* f, uint32_t* length) {
    long hi = f->GetC(), lo = f->GetC();
    if (hi < 0 || lo < 0) {
        SetError("Premature end of file?");
        return nullptr;
    }
    *length = (uint32_t)((hi << 8) | lo);
    if (*length < 2) {
        SetError("invalid marker");
        return nullptr;
    }
    BYTE* data = (BYTE*)malloc(*length);
    if (!data) {
        SetError("Could not allocate memory");
        return nullptr;
    }
    data[0] = (BYTE)hi;
    data[1] = (BYTE)lo;
    if (*length > 2 && f->Read(data + 2, 1, *length - 2) != *length - 2) {
        free(data);
        SetError("Premature end of file?");
        return nullptr;
    }
    return data;
}

// Full mode: the rest of the stream after SOS, as the compressed-data
// section.
bool ExifReader::ReadScanData(CRasterFile* f) {
    long pos = f->Tell(), size = f->Size();
    if (pos < 0 || size < pos) {
        SetError("could not read the rest of the image");
        return false;
    }
    uint32_t rest = (uint32_t)(size - pos);
    BYTE* all = (BYTE*)malloc(rest ? rest : 1);
    if (!all) {
        SetError("could not allocate data for entire image");
        return false;
    }
    if (f->Read(all, 1, rest) != rest) {
        free(all);
        SetError("could not read the rest of the image");
        return false;
    }
    return AddSection(all, kExifDataSection, rest);
}

// A segment before the scan: APP0 is dropped; only the first Exif APP1
// and the first comment are parsed and kept (in Exif mode); a frame
// header also gives the size. Takes data in every case.
bool ExifReader::KeepSegment(BYTE* data, int marker, uint32_t length, int mode, SeenSegments* seen) {
    switch (marker) {
        case kApp0:
            free(data);
            return true;
        case kApp1:
            if ((mode & kModeExif) && !seen->exif && length >= 6 && memcmp(data + 2, "Exif", 4) == 0) {
                seen->exif = true;
                info_->isExif = ParseExif(data + 2, length - 2) ? 1 : 0;
                return AddSection(data, marker, length);
            }
            free(data);
            return true;
        case kCom:
            if ((mode & kModeExif) && !seen->comment) {
                seen->comment = true;
                ParseComment(data + 2, length - 2);
                return AddSection(data, marker, length);
            }
            free(data);
            return true;
        case 0xC0:
        case 0xC1:
        case 0xC2:
        case 0xC3:
        case 0xC5:
        case 0xC6:
        case 0xC7:
        case 0xC9:
        case 0xCA:
        case 0xCB:
        case 0xCD:
        case 0xCE:
        case 0xCF:
            if (length >= 8) {
                info_->height = (data[3] << 8) | data[4];
                info_->width = (data[5] << 8) | data[6];
                info_->isColor = data[7] == 3 ? 1 : 0;
                info_->process = marker;
            }
            return AddSection(data, marker, length);
        default:
            return AddSection(data, marker, length);
    }
}

bool ExifReader::ReadSections(CRasterFile* f, int mode) {
    if (!f) {
        SetError("null file handler");
        return false;
    }
    BYTE soi[2];
    if (f->Read(soi, 1, 2) != 2 || soi[0] != 0xFF || soi[1] != kSoi) {
        SetError("Not a JPEG file");
        return false;
    }
    SeenSegments seen = {false, false};
    for (;;) {
        if (count_ >= kExifMaxSections) {
            SetError("Too many sections in jpg file");
            return false;
        }
        int marker = 0;
        if (!ReadMarker(f, &marker))
            return false;
        uint32_t length = 0;
        BYTE* data = ReadSegment(f, &length);
        if (!data)
            return false;
        if (marker == kSos) {
            if (!AddSection(data, marker, length))
                return false;
            return (mode & kModeFull) ? ReadScanData(f) : true;
        }
        if (!KeepSegment(data, marker, length, mode, &seen))
            return false;
    }
}

void ExifReader::DiscardAllButExif() {
    int app1 = -1, com = -1;
    for (int i = 0; i < count_; i++) {
        if (sections_[i].code == kApp1 && app1 < 0)
            app1 = i;
        else if (sections_[i].code == kCom && com < 0)
            com = i;
        else
            free(sections_[i].data);
    }
    Section keepApp1 = app1 >= 0 ? sections_[app1] : Section{};
    Section keepCom = com >= 0 ? sections_[com] : Section{};
    count_ = 0;
    if (app1 >= 0)
        sections_[count_++] = keepApp1;
    if (com >= 0)
        sections_[count_++] = keepCom;
}

bool ExifReader::CanWrite() const {
    for (int i = 0; i + 1 < count_; i++)
        if (sections_[i].code == kSos)
            return true;
    return false;
}

bool ExifReader::WriteSections(CRasterFile* f) {
    if (!f || !CanWrite()) {
        SetError("Can't write exif : didn't read all");
        return false;
    }
    static const BYTE kSoiBytes[2] = {0xFF, kSoi};
    bool ok = f->Write(kSoiBytes, 1, 2) == 2;
    if (ok && sections_[0].code != kApp1 && sections_[0].code != kApp0)
        ok = f->Write(kJfifSegment, 1, sizeof(kJfifSegment)) == sizeof(kJfifSegment);
    for (int i = 0; ok && i < count_; i++) {
        const Section& s = sections_[i];
        if (i + 1 < count_) {
            BYTE marker[2] = {0xFF, (BYTE)s.code};
            ok = f->Write(marker, 1, 2) == 2;
        }
        if (ok && s.size)
            ok = f->Write(s.data, 1, s.size) == s.size;
    }
    if (!ok)
        SetError("write error");
    return ok;
}

void ExifReader::ParseComment(const BYTE* data, uint32_t cb) {
    uint32_t n = cb < 255 ? cb : 255;
    char* out = info_->comment;
    uint32_t k = 0;
    for (uint32_t i = 0; i < n; i++) {
        BYTE c = data[i];
        if (c == '\r' && i + 1 < n && data[i + 1] == '\n')
            continue;
        out[k++] = ((c >= 0x20 && c < 0x7F) || c == '\n' || c == '\t') ? (char)c : '?';
    }
    out[k] = 0;
}

// Byte-order reads inside a block; callers have checked the bounds.
static uint32_t Get16(const BYTE* p, bool motorola) {
    return motorola ? (uint32_t)((p[0] << 8) | p[1]) : (uint32_t)((p[1] << 8) | p[0]);
}

static uint32_t Get32(const BYTE* p, bool motorola) {
    return motorola ? ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3]
                    : ((uint32_t)p[3] << 24) | ((uint32_t)p[2] << 16) | ((uint32_t)p[1] << 8) | p[0];
}

// The first component of a value of cb bytes as a number; 0 for text,
// undefined bytes or a value too short for its format.
static double ConvertValue(const BYTE* v, int format, uint32_t cb, bool mm) {
    if (format < 1 || format > 12 || cb < (uint32_t)kBytesPerFormat[format])
        return 0;
    switch (format) {
        case 1:
            return v[0];
        case 3:
            return Get16(v, mm);
        case 4:
            return Get32(v, mm);
        case 5: {
            uint32_t den = Get32(v + 4, mm);
            return den ? (double)Get32(v, mm) / den : 0;
        }
        case 10: {
            int32_t den = (int32_t)Get32(v + 4, mm);
            return den ? (double)(int32_t)Get32(v, mm) / den : 0;
        }
        case 6:
            return (int8_t)v[0];
        case 8:
            return (int16_t)Get16(v, mm);
        case 9:
            return (int32_t)Get32(v, mm);
        case 11: {
            uint32_t bits = Get32(v, mm);
            float f;
            memcpy(&f, &bits, 4);
            return f;
        }
        case 12: {
            uint64_t hi = Get32(v + (mm ? 0 : 4), mm), lo = Get32(v + (mm ? 4 : 0), mm);
            uint64_t bits = (hi << 32) | lo;
            double d;
            memcpy(&d, &bits, 8);
            return d;
        }
    }
    return 0;
}

// The tags whose value goes unchanged into one number field.
struct FloatTag {
    int tag;
    float ExifInfo::*field;
};
const FloatTag kFloatTags[] = {
    {kTagFocalLength, &ExifInfo::focalLength},
    {kTagExposureTime, &ExifInfo::exposureTime},
    {kTagFNumber, &ExifInfo::fNumber},
    {kTagSubjectDistance, &ExifInfo::distance},
    {kTagExposureBias, &ExifInfo::exposureBias},
    {kTagFocalPlaneXRes, &ExifInfo::focalPlaneXRes},
    {kTagFocalPlaneYRes, &ExifInfo::focalPlaneYRes},
    {kTagXResolution, &ExifInfo::xResolution},
    {kTagYResolution, &ExifInfo::yResolution},
    {kTagBrightness, &ExifInfo::brightness},
};
struct IntTag {
    int tag;
    int32_t ExifInfo::*field;
};
const IntTag kIntTags[] = {
    {kTagLightSource, &ExifInfo::lightSource},
    {kTagMeteringMode, &ExifInfo::meteringMode},
    {kTagExposureProgram, &ExifInfo::exposureProgram},
    {kTagCompressionLevel, &ExifInfo::compressionLevel},
};

// A plain number tag into its field; false for any other tag.
static bool StorePlainNumber(ExifInfo* e, int tag, double v) {
    for (const FloatTag& t : kFloatTags)
        if (t.tag == tag) {
            e->*t.field = ToFloat(v);
            return true;
        }
    for (const IntTag& t : kIntTags)
        if (t.tag == tag) {
            e->*t.field = ToInt(v);
            return true;
        }
    return false;
}

// The user comment without trailing spaces and without an "ASCII" code
// (and the NULs or spaces after it), at most 199 characters.
static void CopyUserComment(ExifInfo* e, const BYTE* value, uint32_t cb) {
    uint32_t end = cb;
    while (end > 0 && value[end - 1] == ' ')
        end--;
    uint32_t start = 0;
    if (end >= 5 && memcmp(value, "ASCII", 5) == 0) {
        start = end;  // nothing after the code: no comment
        for (uint32_t i = 5; i < 10 && i < end; i++)
            if (value[i] != 0 && value[i] != ' ') {
                start = i;
                break;
            }
    }
    uint32_t n = end - start < 199 ? end - start : 199;
    CopyText(e->comment, countof(e->comment), value + start, n);
}

// A units tag's inches per unit, kept only when the unit is known.
static void StoreUnit(float* field, double v) {
    float u = UnitFactor(ToInt(v));
    if (u != 0)
        *field = u;
}

void ExifReader::ProcessTag(Walk* w, int tag, int format, uint32_t components, const BYTE* value, uint32_t cb) {
    (void)components;
    ExifInfo* e = info_;
    double v = ConvertValue(value, format, cb, motorola_);
    // The directories linked after the first describe the thumbnail; their
    // resolution and the like must not replace the picture's.
    if (w->thumbnailDir && tag != kTagThumbnailOffset && tag != kTagThumbnailLength)
        return;
    if (StorePlainNumber(e, tag, v))
        return;
    switch (tag) {
        case kTagMake:
            CopyText(e->cameraMake, countof(e->cameraMake), value, cb);
            break;
        case kTagModel:
            CopyText(e->cameraModel, countof(e->cameraModel), value, cb);
            break;
        case kTagDateTimeOriginal:
            CopyText(e->dateTime, countof(e->dateTime), value, cb);
            break;
        case kTagExifVersion:
            if (cb >= 4) {
                memcpy(e->version, value, 4);
                e->version[4] = 0;
            }
            break;
        case kTagOrientation:
            e->orientation = ToInt(v);
            if (e->orientation < 1 || e->orientation > 8) {
                e->orientation = 0;
                SetError("Undefined rotation value");
            }
            break;
        case kTagFlash:
            e->flashUsed = (ToInt(v) & 7) ? 1 : 0;
            break;
        case kTagShutterSpeed:
            if (e->exposureTime == 0)
                e->exposureTime = ToFloat(1.0 / pow(2.0, v));
            break;
        case kTagAperture:
        case kTagMaxAperture:
            if (e->fNumber == 0)
                e->fNumber = ToFloat(pow(2.0, v / 2));
            break;
        case kTagIsoEquivalent:
            e->isoEquivalent = ToInt(v < 50 ? v * 200 : v);
            break;
        case kTagFocalPlaneUnits:
            StoreUnit(&e->focalPlaneUnits, v);
            break;
        case kTagResolutionUnit:
            StoreUnit(&e->resolutionUnit, v);
            break;
        case kTagExifImageWidth:
        case kTagExifImageHeight:
            if (ToInt(v) > exifImageWidth_)
                exifImageWidth_ = ToInt(v);
            break;
        case kTagThumbnailOffset:
            w->thumbOffset = ToUint(v);
            w->haveThumbOffset = true;
            break;
        case kTagThumbnailLength:
            w->thumbSize = ToUint(v);
            w->haveThumbSize = true;
            break;
        case kTagUserComment:
            CopyUserComment(e, value, cb);
            break;
    }
}

bool ExifReader::ProcessDir(Walk* w, uint32_t dirOffset, int level) {
    if (level > kMaxNesting) {
        SetError("Maximum directory nesting exceeded (corrupt exif header)");
        return false;
    }
    for (int i = 0; i < w->dirs; i++)
        if (w->visited[i] == dirOffset)
            return true;  // a cycle or a shared directory: walked already
    if (w->dirs >= kMaxDirs) {
        SetError("Too many Exif directories");
        return false;
    }
    w->visited[w->dirs++] = dirOffset;
    if (dirOffset > w->length || w->length - dirOffset < 2) {
        SetError("Illegally sized directory");
        return false;
    }
    const BYTE* dir = w->base + dirOffset;
    uint32_t room = w->length - dirOffset;
    uint32_t n = Get16(dir, motorola_);
    if (2 + 12 * n > room) {
        SetError("Illegally sized directory");
        return false;
    }
    if ((int)n > w->budget) {
        SetError("Too many Exif directory entries");
        return false;
    }
    w->budget -= (int)n;
    for (uint32_t i = 0; i < n; i++) {
        const BYTE* entry = dir + 2 + 12 * i;
        int tag = (int)Get16(entry, motorola_);
        int format = (int)Get16(entry + 2, motorola_);
        uint32_t components = Get32(entry + 4, motorola_);
        if (format > 12) {
            SetError("Illegal format code in EXIF dir");
            return false;
        }
        uint64_t bytes = (uint64_t)components * (uint64_t)kBytesPerFormat[format];
        const BYTE* value = entry + 8;
        if (bytes > 4) {
            uint32_t offset = Get32(entry + 8, motorola_);
            if (offset > w->length || bytes > w->length - offset) {
                SetError("Illegal pointer offset value in EXIF.");
                return false;
            }
            value = w->base + offset;
        }
        if (tag == kTagExifOffset || tag == kTagInteropOffset) {
            uint32_t sub = Get32(value, motorola_);
            if (sub >= 9) {
                if (sub >= w->length) {
                    SetError("Illegal subdirectory link");
                    return false;
                }
                ProcessDir(w, sub, level + 1);
            }
            continue;
        }
        ProcessTag(w, tag, format, components, value, (uint32_t)bytes);
    }
    // The link to the next directory; some writers leave it out of the last.
    if (room - (2 + 12 * n) >= 4) {
        uint32_t next = Get32(dir + 2 + 12 * n, motorola_);
        if (next) {
            if (next >= w->length) {
                SetError("Illegal subdirectory link");
                return false;
            }
            bool wasThumbnail = w->thumbnailDir;
            w->thumbnailDir = true;
            ProcessDir(w, next, level + 1);
            w->thumbnailDir = wasThumbnail;
        }
    }
    return true;
}

bool ExifReader::ParseExif(const BYTE* data, uint32_t cb) {
    info_->flashUsed = 0;
    info_->comment[0] = 0;
    info_->thumbnailOffset = info_->thumbnailSize = 0;
    exifImageWidth_ = 0;
    if (!data || cb < 14 || memcmp(data, "Exif\0\0", 6) != 0) {
        SetError("Incorrect Exif header");
        return false;
    }
    if (data[6] == 'I' && data[7] == 'I') {
        motorola_ = false;
    } else if (data[6] == 'M' && data[7] == 'M') {
        motorola_ = true;
    } else {
        SetError("Invalid Exif alignment marker.");
        return false;
    }
    if (Get16(data + 8, motorola_) != 42) {
        SetError("Invalid Exif start (1)");
        return false;
    }
    Walk w = {};
    w.base = data + 6;
    w.length = cb - 6;
    w.budget = kEntryBudget;
    // The first directory is where the header says (usually right after it).
    uint32_t first = Get32(data + 10, motorola_);
    if (first < 8 || first >= w.length) {
        SetError("Illegal first directory offset");
        return false;
    }
    if (!ProcessDir(&w, first, 0))
        return false;
    if (info_->focalPlaneXRes != 0)
        info_->ccdWidth = ToFloat(exifImageWidth_ * (double)info_->focalPlaneUnits / info_->focalPlaneXRes);
    if (w.haveThumbOffset && w.haveThumbSize && w.thumbOffset && w.thumbOffset <= w.length &&
        w.thumbSize <= w.length - w.thumbOffset) {
        info_->thumbnailOffset = w.thumbOffset;
        info_->thumbnailSize = w.thumbSize;
    }
    return true;
}

uint32_t ExifReader::KeepExifSections() {
    const Section* app1 = nullptr;
    const Section* com = nullptr;
    for (int i = 0; i < count_; i++) {
        if (sections_[i].code == kApp1 && !app1)
            app1 = &sections_[i];
        else if (sections_[i].code == kCom && !com)
            com = &sections_[i];
    }
    if (!app1)
        return 0;
    BYTE* a = CopyBytes(app1->data, app1->size);
    BYTE* c = com ? CopyBytes(com->data, com->size) : nullptr;
    if (!a || (com && !c)) {
        free(a);
        free(c);
        return 0;
    }
    KeptLock lock;
    KeptBlock& slot = gKept[gKeptNext];
    gKeptNext = (gKeptNext + 1) % kExifKeptBlocks;
    free(slot.app1);
    free(slot.com);
    if (++gKeptLastId == 0)
        gKeptLastId = 1;
    slot = KeptBlock{gKeptLastId, a, app1->size, c, com ? com->size : 0, false, 0, 0, 0, 0};
    return slot.id;
}

bool ExifReader::LoadKeptSections(uint32_t id) {
    FreeSections();
    KeptLock lock;
    const KeptBlock* k = FindKept(id);
    if (!k)
        return false;
    BYTE* a = CopyBytes(k->app1, k->app1Size);
    if (!a)
        return false;
    sections_[count_++] = Section{a, kApp1, k->app1Size};
    if (k->com) {
        BYTE* c = CopyBytes(k->com, k->comSize);
        if (!c)
            return false;
        sections_[count_++] = Section{c, kCom, k->comSize};
    }
    return true;
}

uint32_t ExifCopyThumbnail(const ExifInfo& info, BYTE* dst, uint32_t cb) {
    if (!info.thumbnailSize)
        return 0;
    KeptLock lock;
    const KeptBlock* k = FindKept(info.blockId);
    // The TIFF header sits after the length bytes and "Exif\0\0".
    const uint32_t header = 2 + 6;
    if (!k || k->app1Size < header || info.thumbnailOffset > k->app1Size - header ||
        info.thumbnailSize > k->app1Size - header - info.thumbnailOffset)
        return 0;
    if (dst)
        memcpy(dst, k->app1 + header + info.thumbnailOffset, cb < info.thumbnailSize ? cb : info.thumbnailSize);
    return info.thumbnailSize;
}

namespace {

uint32_t PixelsCrc(const CRaster& picture) {
    return Crc32(picture.GetPixels(), (int)picture.GetImageSize());
}

void Put16(BYTE* p, uint32_t v, bool motorola) {
    p[motorola ? 0 : 1] = (BYTE)(v >> 8);
    p[motorola ? 1 : 0] = (BYTE)v;
}

void Put32(BYTE* p, uint32_t v, bool motorola) {
    for (int i = 0; i < 4; i++)
        p[motorola ? 3 - i : i] = (BYTE)(v >> (8 * i));
}

// A TIFF block's directories, as FitToPicture sees them: the bytes that
// the directories other than the thumbnail's use (kept), and those only the
// thumbnail's uses (dropped: cleared and, at the block's end, cut off).
// Each is a count per byte made from +1/-1 at the ends of its ranges, so
// that any number of ranges costs one pass over the block.
struct BlockBytes {
    BYTE* base;
    uint32_t length;
    bool mm;
    int32_t* kept;     // length + 1 counts; after Seal, kept bytes before each offset
    int32_t* dropped;  // length + 1 counts
    uint32_t visited[kMaxDirs];
    int dirs;

    // A directory at `at`: its entry count, or -1 when it (with its link to
    // the next one) does not fit.
    int Entries(uint32_t at) const {
        if (at < 8 || length < 2 || at > length - 2)
            return -1;
        uint32_t n = Get16(base + at, mm);
        return n * 12 + 6 <= length - at ? (int)n : -1;
    }
    // The bytes an entry's value takes outside it, as [*at, *at + *cb)
    // clipped to the block; false when it is inside the entry.
    bool OutOfLine(const BYTE* e, uint32_t* at, uint32_t* cb) const {
        uint32_t format = Get16(e + 2, mm);
        uint64_t bytes = format <= 12 ? (uint64_t)Get32(e + 4, mm) * kBytesPerFormat[format] : 0;
        *at = Get32(e + 8, mm);
        if (bytes <= 4 || *at >= length)
            return false;
        *cb = bytes > length - *at ? length - *at : (uint32_t)bytes;
        return true;
    }
    // Element i of a SHORT or LONG entry's value; false when it is neither
    // or the value lies outside the block.
    bool Element(const BYTE* e, uint32_t i, uint32_t* v) const {
        uint32_t format = Get16(e + 2, mm), count = Get32(e + 4, mm);
        uint32_t size = format == 3 ? 2 : format == 4 ? 4 : 0;
        if (!size || i >= count)
            return false;
        const BYTE* p = e + 8;
        if ((uint64_t)count * size > 4) {
            uint32_t at = Get32(e + 8, mm);
            if (at > length || (uint64_t)count * size > length - at)
                return false;
            p = base + at;
        }
        *v = size == 2 ? Get16(p + 2 * i, mm) : Get32(p + 4 * i, mm);
        return true;
    }
    void Mark(int32_t* counts, uint32_t at, uint32_t cb) {
        if (at < length && cb > 0) {
            counts[at]++;
            counts[cb > length - at ? length : at + cb]--;
        }
    }
    // A directory the picture's data lives in: its entries, link and
    // values, and the sub-directories it names (Exif, GPS, interoperability),
    // walked once each and at most kMaxNesting deep.
    void KeepDir(uint32_t at, int level) {
        int n = Entries(at);
        for (int i = 0; i < dirs; i++)
            if (visited[i] == at)
                n = -1;
        if (n < 0 || level > kMaxNesting || dirs >= kMaxDirs)
            return;
        visited[dirs++] = at;
        Mark(kept, at, 2 + 12 * (uint32_t)n + 4);
        for (int i = 0; i < n; i++) {
            const BYTE* e = base + at + 2 + 12 * i;
            uint32_t tag = Get16(e, mm), valueAt, cb, sub;
            if (OutOfLine(e, &valueAt, &cb))
                Mark(kept, valueAt, cb);
            if ((tag == kTagExifOffset || tag == kTagGpsOffset || tag == kTagInteropOffset) && Element(e, 0, &sub))
                KeepDir(sub, level + 1);
        }
    }
    // After the kept ranges: counts of kept bytes before each offset.
    void Seal() {
        int32_t depth = 0, before = 0;
        for (uint32_t i = 0; i <= length; i++) {
            int32_t here = depth + kept[i];
            kept[i] = before;
            depth = here;
            before += depth > 0;
        }
    }
    // Drops [at, at + cb) (clipped to the block) when no kept byte and not
    // the TIFF header is in it; false when it cannot be dropped.
    bool Drop(uint32_t at, uint32_t cb) {
        if (at < 8 || at >= length || cb == 0)
            return false;
        uint32_t end = cb > length - at ? length : at + cb;
        if (kept[end] != kept[at])
            return false;
        Mark(dropped, at, end - at);
        return true;
    }
};

}  // namespace

void ExifNoteKeptPicture(uint32_t id, const CRaster& picture) {
    if (!picture.IsValid())
        return;
    uint32_t crc = PixelsCrc(picture);
    KeptLock lock;
    KeptBlock* k = (KeptBlock*)FindKept(id);
    if (k) {
        k->havePicture = true;
        k->width = picture.Width();
        k->height = picture.Height();
        k->bpp = picture.GetBpp();
        k->pixelsCrc = crc;
    }
}

bool ExifKeptPictureIs(uint32_t id, const CRaster& picture) {
    if (!picture.IsValid())
        return false;
    uint32_t crc = PixelsCrc(picture);
    KeptLock lock;
    const KeptBlock* k = FindKept(id);
    return k && k->havePicture && k->width == picture.Width() && k->height == picture.Height() &&
           k->bpp == picture.GetBpp() && k->pixelsCrc == crc;
}

bool ExifReader::FitToPicture(int width, int height) {
    Section* app1 = nullptr;
    for (int i = 0; i < count_ && !app1; i++)
        if (sections_[i].code == kApp1)
            app1 = &sections_[i];
    // Length bytes, "Exif\0\0", then the TIFF header.
    const uint32_t header = 2 + 6;
    if (!app1 || app1->size < header + 8 || memcmp(app1->data + 2, "Exif\0\0", 6) != 0)
        return false;
    BlockBytes b = {};
    b.base = app1->data + header;
    b.length = app1->size - header;
    b.mm = b.base[0] == 'M';
    BYTE* base = b.base;
    const bool mm = b.mm;
    uint32_t ifd0 = Get32(base + 4, mm);
    int n0 = b.Entries(ifd0);
    if (n0 < 0)
        return false;
    uint32_t exifDir = 0;
    for (int i = 0; i < n0; i++) {
        const BYTE* e = base + ifd0 + 2 + 12 * i;
        if (Get16(e, mm) == kTagExifOffset)
            exifDir = Get32(e + 8, mm);
    }
    // The new size into PixelXDimension and PixelYDimension.
    int nx = b.Entries(exifDir);
    for (int i = 0; i < nx; i++) {
        BYTE* e = base + exifDir + 2 + 12 * i;
        uint32_t tag = Get16(e, mm), format = Get16(e + 2, mm);
        uint32_t v = tag == kTagExifImageWidth ? (uint32_t)width : tag == kTagExifImageHeight ? (uint32_t)height : 0;
        if (v && format == 3)
            Put16(e + 8, v > 0xFFFF ? 0xFFFF : v, mm);
        else if (v && format == 4)
            Put32(e + 8, v, mm);
    }
    // The thumbnail's directory (IFD1) is unlinked. It, its values and the
    // thumbnail's bytes (one block or all its strips) are cleared, and cut
    // off where they end the block, but only where no other directory and
    // none of their values lies: a directory that overlaps one (a link back
    // to IFD0, say) is left as it is.
    BYTE* next = base + ifd0 + 2 + 12 * n0;
    uint32_t ifd1 = Get32(next, mm);
    Put32(next, 0, mm);
    int n1 = b.Entries(ifd1);
    if (n1 >= 0) {
        b.kept = (int32_t*)calloc((size_t)b.length + 1, sizeof(int32_t));
        b.dropped = (int32_t*)calloc((size_t)b.length + 1, sizeof(int32_t));
    }
    if (b.kept && b.dropped) {
        b.Mark(b.kept, 0, 8);
        b.KeepDir(ifd0, 0);
        b.Seal();
    }
    if (b.kept && b.dropped && b.Drop(ifd1, 2 + 12 * (uint32_t)n1 + 4)) {
        const BYTE* offsets = nullptr;
        const BYTE* counts = nullptr;
        uint32_t thumbAt = 0, thumbCb = 0;
        bool haveAt = false, haveCb = false;
        for (int i = 0; i < n1; i++) {
            const BYTE* e = base + ifd1 + 2 + 12 * i;
            uint32_t tag = Get16(e, mm), at, cb;
            if (b.OutOfLine(e, &at, &cb))
                b.Drop(at, cb);
            if (tag == kTagThumbnailOffset)
                haveAt = b.Element(e, 0, &thumbAt);
            else if (tag == kTagThumbnailLength)
                haveCb = b.Element(e, 0, &thumbCb);
            else if (tag == kTagStripOffsets)
                offsets = e;
            else if (tag == kTagStripByteCounts)
                counts = e;
        }
        if (haveAt && haveCb)
            b.Drop(thumbAt, thumbCb);
        uint32_t at, cb;
        for (uint32_t k = 0; offsets && counts && b.Element(offsets, k, &at) && b.Element(counts, k, &cb); k++)
            b.Drop(at, cb);
        uint32_t end = 8;  // past the last byte kept
        int32_t depth = 0;
        for (uint32_t i = 0; i < b.length; i++) {
            depth += b.dropped[i];
            if (depth > 0)
                base[i] = 0;
            else
                end = i + 1;
        }
        app1->size = header + end;
    }
    free(b.kept);
    free(b.dropped);
    app1->data[0] = (BYTE)(app1->size >> 8);
    app1->data[1] = (BYTE)app1->size;
    return true;
}
