// JPEG codec over libjpeg and the image streams.
//
// Reads: baseline, extended, progressive and arithmetic-coded files; grey
//   (8 bits, grey palette), colour (24 bits) and CMYK as libjpeg delivers
//   Adobe files (24 bits, weighted by k); optional grey output, colour
//   quantisation to a palette and scaling. Resolution from the Exif block,
//   else from the JFIF density. Progressive files stop after kJpgMaxScans
//   scans; libjpeg's own memory stays within the image memory limit.
// Writes: 24-bit and 8-bit grey images with the option word's coding
//   choices and a JFIF density in dots per inch; an image decoded from a
//   JPEG with Exif data gets that Exif segment (and first comment) back;
//   when its pixels changed since, without the thumbnail and with the new
//   size as the Exif pixel dimensions.
// libjpeg errors come back through longjmp: the frames that call libjpeg
// hold nothing with a destructor, and the stream buffers live on the stack.
#include "image/raster_jpeg.h"

#include <setjmp.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <jpeglib.h>
#include <jerror.h>

#include "base/str_util.h"
#include "image/exif.h"
#include "image/raster_file.h"

namespace {

constexpr size_t kJpegBlock = 4096;
// Rows handed to libjpeg in one call: two MCU rows at the largest sampling.
constexpr JDIMENSION kJpegRowBand = 32;

struct JpegErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
    char* text;  // the image's last-error text (256 bytes)
};

// Source and destination managers over one CRasterFile, 4096-byte blocks.
struct JpegStreamAdaptor {
    jpeg_destination_mgr dest;
    jpeg_source_mgr src;
    CRasterFile* file;
    bool startOfFile;
    bool atEnd;  // the file is exhausted: the buffer holds an inserted EOI
    JOCTET buffer[kJpegBlock];
};

struct JpegScanLimit {
    jpeg_progress_mgr pub;
};

void JpegErrorExit(j_common_ptr cinfo) {
    JpegErrorManager* err = (JpegErrorManager*)cinfo->err;
    char message[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, message);
    StrCopy(err->text, 256, message);
    longjmp(err->jump, 1);
}

// Warnings (corrupt data, premature end) have no reader in a GUI program.
void JpegOutputMessage(j_common_ptr) {}

void JpegInitDestination(j_compress_ptr cinfo) {
    JpegStreamAdaptor* a = (JpegStreamAdaptor*)cinfo->dest;
    a->dest.next_output_byte = a->buffer;
    a->dest.free_in_buffer = kJpegBlock;
}

boolean JpegEmptyOutputBuffer(j_compress_ptr cinfo) {
    JpegStreamAdaptor* a = (JpegStreamAdaptor*)cinfo->dest;
    if (a->file->Write(a->buffer, 1, kJpegBlock) != kJpegBlock)
        ERREXIT(cinfo, JERR_FILE_WRITE);
    JpegInitDestination(cinfo);
    return TRUE;
}

void JpegTermDestination(j_compress_ptr cinfo) {
    JpegStreamAdaptor* a = (JpegStreamAdaptor*)cinfo->dest;
    size_t n = kJpegBlock - a->dest.free_in_buffer;
    // A file of a whole number of blocks has nothing left here; writing
    // nothing is no error.
    if (n > 0 && a->file->Write(a->buffer, 1, n) != n)
        ERREXIT(cinfo, JERR_FILE_WRITE);
    if (!a->file->Flush() || a->file->Error())
        ERREXIT(cinfo, JERR_FILE_WRITE);
}

JpegStreamAdaptor* AdaptorOfSource(j_decompress_ptr cinfo) {
    return (JpegStreamAdaptor*)((char*)cinfo->src - offsetof(JpegStreamAdaptor, src));
}

void JpegInitSource(j_decompress_ptr cinfo) {
    AdaptorOfSource(cinfo)->startOfFile = true;
}

// At the end of the data: an empty file is an error, a cut one gets an
// end-of-image marker so that libjpeg completes the picture.
boolean JpegFillInputBuffer(j_decompress_ptr cinfo) {
    JpegStreamAdaptor* a = AdaptorOfSource(cinfo);
    size_t n = a->file->Read(a->buffer, 1, kJpegBlock);
    if (n == 0) {
        if (a->startOfFile)
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        a->atEnd = true;
        a->buffer[0] = (JOCTET)0xFF;
        a->buffer[1] = (JOCTET)JPEG_EOI;
        n = 2;
    }
    a->src.next_input_byte = a->buffer;
    a->src.bytes_in_buffer = n;
    a->startOfFile = false;
    return TRUE;
}

void JpegSkipInputData(j_decompress_ptr cinfo, long n) {
    if (n <= 0)
        return;
    JpegStreamAdaptor* a = AdaptorOfSource(cinfo);
    while ((size_t)n > a->src.bytes_in_buffer) {
        n -= (long)a->src.bytes_in_buffer;
        JpegFillInputBuffer(cinfo);
        // A skip past the end stops at the inserted EOI rather than
        // refilling it two bytes at a time.
        if (a->atEnd)
            return;
    }
    a->src.next_input_byte += n;
    a->src.bytes_in_buffer -= (size_t)n;
}

void JpegTermSource(j_decompress_ptr) {}

// Called by libjpeg while it reads; stops files of endless scans.
void JpegCheckScans(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor || ((j_decompress_ptr)cinfo)->input_scan_number <= kJpgMaxScans)
        return;
    JpegErrorManager* err = (JpegErrorManager*)cinfo->err;
    StrCopy(err->text, 256, "too many progressive scans");
    longjmp(err->jump, 1);
}

void SetUpErrors(JpegErrorManager* err, char* text) {
    jpeg_std_error(&err->pub);
    err->pub.error_exit = JpegErrorExit;
    err->pub.output_message = JpegOutputMessage;
    err->text = text;
}

// An Exif resolution in DPI, or 0 when it is none or out of range.
int ExifDpi(float resolution, float unitFactor) {
    if (resolution == 0 || unitFactor == 0)
        return 0;
    double dpi = (double)resolution / unitFactor;
    return dpi >= 1 && dpi <= 65535 ? (int)dpi : 0;
}

// The decompressor reads f through io; scans counts the scans (a file of
// too many is refused).
void SetUpSource(jpeg_decompress_struct* cinfo, JpegStreamAdaptor* io, JpegScanLimit* scans, CRasterFile* f) {
    memset(io, 0, offsetof(JpegStreamAdaptor, buffer));
    io->file = f;
    io->src.init_source = JpegInitSource;
    io->src.fill_input_buffer = JpegFillInputBuffer;
    io->src.skip_input_data = JpegSkipInputData;
    io->src.resync_to_restart = jpeg_resync_to_restart;
    io->src.term_source = JpegTermSource;
    cinfo->src = &io->src;
    memset(scans, 0, sizeof(*scans));
    scans->pub.progress_monitor = JpegCheckScans;
    cinfo->progress = &scans->pub;
}

// The decode options of the format's option word: grey output, quantized
// colours (as many as the quality field says), dithering, one pass, no
// fancy upsampling, and the scale 1/scale (0 reads as 1).
void SetDecodeOptions(jpeg_decompress_struct* cinfo, uint32_t option, int colors, int dither, int scale) {
    if (option & kJpgDecodeGrey)
        cinfo->out_color_space = JCS_GRAYSCALE;
    if (option & kJpgQuantize) {
        cinfo->quantize_colors = TRUE;
        cinfo->desired_number_of_colors = colors;
    }
    if (option & kJpgDither)
        cinfo->dither_mode = (J_DITHER_MODE)dither;
    if (option & kJpgOnePass)
        cinfo->two_pass_quantize = FALSE;
    if (option & kJpgNoFancy)
        cinfo->do_fancy_upsampling = FALSE;
    cinfo->scale_num = 1;
    cinfo->scale_denom = scale ? scale : 1;
}

// The image's resolution: from the Exif block when there is one, else the
// JFIF density (dots per centimetre or per inch, or only an aspect ratio).
void SetResolution(CRaster* image, const jpeg_decompress_struct& cinfo, bool haveExif) {
    const ExifInfo& exif = image->Info().exif;
    if (haveExif) {
        int x = ExifDpi(exif.xResolution, exif.resolutionUnit);
        int y = ExifDpi(exif.yResolution, exif.resolutionUnit);
        if (x)
            image->SetXDpi(x);
        if (y)
            image->SetYDpi(y);
    } else if (cinfo.density_unit == 2) {
        image->SetXDpi((int)(cinfo.X_density * 2.54 + 0.5));
        image->SetYDpi((int)(cinfo.Y_density * 2.54 + 0.5));
    } else if (cinfo.density_unit != 0) {
        image->SetXDpi(cinfo.X_density);
        image->SetYDpi(cinfo.Y_density);
    } else if (cinfo.X_density && cinfo.Y_density) {
        image->SetYDpi((int)(image->GetXDpi() * ((double)cinfo.Y_density / cinfo.X_density)));
    }
}

// Pointers to the image's rows from top-down row first on, at most left
// of them and kJpegRowBand; their number.
JDIMENSION TopDownRows(const CRaster& image, JDIMENSION first, JDIMENSION left, JSAMPROW* rows) {
    JDIMENSION n = left < kJpegRowBand ? left : kJpegRowBand;
    for (JDIMENSION i = 0; i < n; i++)
        rows[i] = image.GetRowPointer(image.Height() - 1 - (int)(first + i));
    return n;
}

// One CMYK scanline into a 24-bit row (of stride bytes). Adobe CMYK is
// stored inverted: c, m, y are already 255 - ink.
void CmykToBgrRow(const BYTE* p, int width, BYTE* row, int stride) {
    for (int x = 0; x < width && 3 * x + 2 < stride; x++, p += 4) {
        int k = p[3];
        row[3 * x] = (BYTE)(p[2] * k / 255);
        row[3 * x + 1] = (BYTE)(p[1] * k / 255);
        row[3 * x + 2] = (BYTE)(p[0] * k / 255);
    }
}

}  // namespace

CRasterJPG::CRasterJPG() : CRaster(kFormatJpg) {
    memset(&info_.exif, 0, sizeof(info_.exif));
}

CRasterJPG::~CRasterJPG() {
    delete exif_;
}

bool CRasterJPG::DecodeJpg(CRasterFile* f, bool signatureOnly) {
    (void)signatureOnly;  // libjpeg insists on the SOI marker anyway
    if (!f) {
        SetLastError("null file handler");
        return false;
    }
    // The record may hold another file's data (the caller's settings).
    memset(&info_.exif, 0, sizeof(info_.exif));
    delete exif_;
    exif_ = new ExifReader(&info_.exif);
    long start = f->Tell();
    exif_->ReadSections(f, ExifReader::kModeExif);
    if (!f->Seek(start, 0)) {
        SetLastError("Seek error");
        return false;
    }
    bool haveExif = info_.exif.isExif != 0;
    if (haveExif)
        info_.exif.blockId = exif_->KeepExifSections();
    if (!Decompress(f, haveExif))
        return false;
    ExifNoteKeptPicture(info_.exif.blockId, *this);
    return true;
}

bool CRasterJPG::Decompress(CRasterFile* f, bool haveExif) {
    JpegErrorManager jerr;
    JpegStreamAdaptor io;
    JpegScanLimit scans;
    jpeg_decompress_struct cinfo;
    memset(&cinfo, 0, sizeof(cinfo));
    SetUpErrors(&jerr, info_.lastError);
    cinfo.err = &jerr.pub;
    if (setjmp(jerr.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    // Progressive files are buffered whole: within the image memory limit.
    cinfo.mem->max_memory_to_use = (long)kRasterMaxMemory;
    SetUpSource(&cinfo, &io, &scans, f);
    jpeg_read_header(&cinfo, TRUE);

    SetDecodeOptions(&cinfo, GetFormatOption(kFormatJpg), GetJpegQuality(), dither_, GetJpegScale());
    // Colour comes out blue-first, as the image stores it; a quantized
    // palette keeps its red-first order.
    if (cinfo.out_color_space == JCS_RGB && !cinfo.quantize_colors)
        cinfo.out_color_space = JCS_EXT_BGR;
    jpeg_calc_output_dimensions(&cinfo);

    if (GetEscape() == (uint32_t)-1) {
        head_.biWidth = (LONG)cinfo.output_width;
        head_.biHeight = (LONG)cinfo.output_height;
        SetFormatId(kFormatJpg);
        jpeg_destroy_decompress(&cinfo);
        return true;
    }
    // Huffman codes take a bit for each 8 x 8 block at least (its DC code,
    // in the first scan of a progressive file too): a file too short for
    // its picture is refused before it is made (one past the memory limit
    // says so when it is made). Arithmetic codes have no such floor: a flat
    // picture takes next to no bytes, and the decoder reads the end of the
    // data as zeros; the memory limit bounds those.
    const long fileBytes = f->Size();
    const uint64_t pixels = (uint64_t)cinfo.image_width * cinfo.image_height;
    if (!cinfo.arith_code && fileBytes > 0 && pixels > (uint64_t)fileBytes * 512 &&
        RasterRowsBytes(cinfo.output_width, cinfo.output_height, 8 * (uint64_t)cinfo.output_components) <=
            kRasterMaxMemory) {
        SetLastError("JPEG data too short for the picture");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    const int components = cinfo.output_components;
    if (components != 1 && components != 3 && components != 4) {
        SetLastError("unsupported number of JPEG components");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    // Made before the library starts, so a picture too large for memory
    // fails before a progressive file is buffered.
    if (!Create((int)cinfo.output_width, (int)cinfo.output_height, 8 * components, kFormatJpg)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_start_decompress(&cinfo);

    SetResolution(this, cinfo, haveExif);
    if (cinfo.quantize_colors) {
        int n = cinfo.actual_number_of_colors < 256 ? cinfo.actual_number_of_colors : 256;
        int planes = cinfo.out_color_components;
        SetPalette(n, cinfo.colormap[0], planes > 1 ? cinfo.colormap[1] : nullptr,
                   planes > 2 ? cinfo.colormap[2] : nullptr);
        SetColorsImportant(n);
    } else if (components == 1) {
        SetGrayPalette();
    }

    // Grey, palette and blue-first colour rows come straight into the
    // image, top-down; CMYK through one line of the library's.
    const int width = Width(), stride = GetRowStride();
    JSAMPARRAY line = nullptr;
    if (components == 4)
        line = (*cinfo.mem->alloc_sarray)((j_common_ptr)&cinfo, JPOOL_IMAGE, cinfo.output_width * 4, 1);
    JSAMPROW rows[kJpegRowBand];
    while (cinfo.output_scanline < cinfo.output_height) {
        JDIMENSION left = cinfo.output_height - cinfo.output_scanline;
        JDIMENSION n = TopDownRows(*this, cinfo.output_scanline, line ? 1 : left, rows);
        if (GetEscape() || jpeg_read_scanlines(&cinfo, line ? line : rows, n) == 0) {
            jpeg_destroy_decompress(&cinfo);
            return false;
        }
        if (line)
            CmykToBgrRow(line[0], width, rows[0], stride);
        SetProgress((int)((uint64_t)cinfo.output_scanline * 100 / cinfo.output_height));
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

bool CRasterJPG::EncodeJpg(CRasterFile* f) {
    if (!CheckBeforeEncode(f))
        return false;
    // Grey means one byte per pixel: 1- and 4-bit grey images are refused.
    if (!(GetBpp() == 24 || (GetBpp() == 8 && IsGrayScale()))) {
        SetLastError("JPEG can save only RGB or GreyScale images");
        return false;
    }
    uint32_t keptId = (info_.exif.isExif && GetFormatId() == kFormatJpg) ? info_.exif.blockId : 0;
    if (keptId) {
        delete exif_;
        exif_ = new ExifReader();
        if (!exif_->LoadKeptSections(keptId))
            keptId = 0;
        // An edited (or scaled) picture keeps no thumbnail of the old one.
        if (keptId &&
            (!ExifKeptPictureIs(keptId, *this) || Width() != info_.exif.width || Height() != info_.exif.height))
            exif_->FitToPicture(Width(), Height());
    }
    if (!keptId)
        return Compress(f);

    // The new file is put together again with the kept Exif segment in
    // front of its tables: written to memory first, so the target stream
    // need not be readable.
    CRasterMemFile mem;
    if (!mem.Open()) {
        SetLastError("can't allocate memory");
        return false;
    }
    if (!Compress(&mem))
        return false;
    mem.Seek(0, 0);
    bool ok;
    if (exif_->ReadSections(&mem, ExifReader::kModeFull) && exif_->CanWrite()) {
        ok = exif_->WriteSections(f);
    } else {  // cannot be split: the file as libjpeg wrote it
        size_t size = (size_t)mem.Size();
        ok = f->Write(mem.GetBuffer(), 1, size) == size;
    }
    if (ok)
        ok = f->Flush() && !f->Error();
    if (!ok)
        SetLastError("write error");
    return ok;
}

bool CRasterJPG::Compress(CRasterFile* f) {
    JpegErrorManager jerr;
    JpegStreamAdaptor io;
    jpeg_compress_struct cinfo;
    memset(&cinfo, 0, sizeof(cinfo));
    SetUpErrors(&jerr, info_.lastError);
    cinfo.err = &jerr.pub;
    if (setjmp(jerr.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    memset(&io, 0, offsetof(JpegStreamAdaptor, buffer));
    io.file = f;
    io.dest.init_destination = JpegInitDestination;
    io.dest.empty_output_buffer = JpegEmptyOutputBuffer;
    io.dest.term_destination = JpegTermDestination;
    cinfo.dest = &io.dest;

    // libjpeg reads the image's own rows: blue-first for 24 bits (a 24-bit
    // image that carries a palette has always been written as it stands).
    const bool grey = GetBpp() == 8;
    cinfo.image_width = (JDIMENSION)Width();
    cinfo.image_height = (JDIMENSION)Height();
    cinfo.input_components = grey ? 1 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : HasPalette() ? JCS_RGB : JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);

    const uint32_t option = GetFormatOption(kFormatJpg);
    if (option & kJpgArithmetic)
        cinfo.arith_code = TRUE;
    if (option & kJpgOptimize)
        cinfo.optimize_coding = TRUE;
    if (option & kJpgGreyscale)
        jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
    if (option & kJpgSmoothing)
        cinfo.smoothing_factor = smoothing_ < 0 ? 0 : smoothing_ > 100 ? 100 : smoothing_;
    jpeg_set_quality(&cinfo, GetJpegQuality(), (option & kJpgBaseline) ? TRUE : FALSE);
    if (option & kJpgProgressive)
        jpeg_simple_progression(&cinfo);
    // Sampling of colour files; a grey file keeps its one 1x1 component.
    if (cinfo.num_components == 3) {
        cinfo.comp_info[0].h_samp_factor = 2;
        cinfo.comp_info[0].v_samp_factor = 2;
        if (option & kJpgSubsample422)
            cinfo.comp_info[0].v_samp_factor = 1;
        if (option & kJpgSubsample444)
            cinfo.comp_info[0].h_samp_factor = 1, cinfo.comp_info[0].v_samp_factor = 1;
        for (int c = 1; c < 3; c++)
            cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    }
    cinfo.density_unit = 1;
    cinfo.X_density = (UINT16)(GetXDpi() > 65535 ? 65535 : GetXDpi());
    cinfo.Y_density = (UINT16)(GetYDpi() > 65535 ? 65535 : GetYDpi());
    jpeg_start_compress(&cinfo, TRUE);

    // Row pointers top-down, a band at a time (the progress steps).
    JSAMPROW rows[kJpegRowBand];
    while (cinfo.next_scanline < cinfo.image_height) {
        SetProgress((int)((uint64_t)cinfo.next_scanline * 100 / cinfo.image_height));
        JDIMENSION n = TopDownRows(*this, cinfo.next_scanline, cinfo.image_height - cinfo.next_scanline, rows);
        jpeg_write_scanlines(&cinfo, rows, n);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

static CRaster* NewJpg() {
    return new CRasterJPG();
}

static bool DecodeThunk(CRaster* codec, CRasterFile* f, bool signatureOnly) {
    return static_cast<CRasterJPG*>(codec)->DecodeJpg(f, signatureOnly);
}

static bool EncodeThunk(CRaster* codec, CRasterFile* f) {
    return static_cast<CRasterJPG*>(codec)->EncodeJpg(f);
}

const RasterCodec kJpgCodec = {kFormatJpg, NewJpg, DecodeThunk, EncodeThunk, false};
