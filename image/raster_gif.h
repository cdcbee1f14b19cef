// CRasterGIF: GIF files (format id 2), with frames, disposal, offsets,
// delays, local palettes, transparency and interlacing on input; GIF89a on
// output from one or several images of 8 bits or less, and true-colour
// images as a grid of 17 x 15 frames.
#pragma once
#include "image/gif_codes.h"
#include "image/raster.h"
#include "image/raster_codec.h"

class CRasterGIF : public CRaster {
  public:
    CRasterGIF();
    ~CRasterGIF() override;

    // Reads the frame named by the current frame (all frames with the
    // all-frames flag: the frame array then holds each composed frame, and
    // this image the last). The result is the composed screen: 8 bits with
    // one palette, or 24 bits when frames bring palettes that disagree.
    // Size-only mode (escape -1): the screen size. Texts: "Not a GIF",
    // "GIF frame not found", "bad GIF extension", "GIF canvas exceeds the
    // memory limit", "Cancelled", Create's own.
    bool DecodeGif(CRasterFile* f);
    // Images above 8 bits go to the true-colour writer, images with a frame
    // array to EncodeFrames. Texts: "GIF image larger than 65535 pixels",
    // "Write Error in GIF file", Create's own.
    bool EncodeGif(CRasterFile* f);
    // An animated GIF from images of 8 bits or less; the first image's
    // palette is the global table, the others get local tables when
    // localTables is set. ownDisposal: each image's own disposal method,
    // else this object's. Texts: "invalid file pointer", "multipage GIF, no
    // images!", "Bad image pointer", "Empty image", the true-colour refusal,
    // "Write Error in GIF file".
    bool EncodeFrames(CRasterFile* f, CRaster** images, int count, bool localTables, bool ownDisposal);

    // NETSCAPE2.0 loop count: read by a decode, written by EncodeFrames
    // (1 writes none, n > 1 writes n - 1, 0 writes 0 = for ever).
    int GetLoopCount() const { return loopCount_; }
    void SetLoopCount(int n) { loopCount_ = n; }
    // Comment text (first sub-block when read; cut to 255 when written).
    const char* GetComment() const { return comment_; }
    void SetComment(const char* text);

  private:
    struct DecodeState;
    bool Fail(const char* text);
    bool ReadExtension(CRasterFile* f, DecodeState* st);
    int CountFrames(CRasterFile* f, DecodeState* st);
    struct ImageDesc;
    bool ReportScreenSize(const DecodeState& st);
    bool ReadGlobalTable(CRasterFile* f, DecodeState* st, int flags);
    bool PlanFrames(DecodeState* st);
    bool ReadBlocks(CRasterFile* f, DecodeState* st);
    int ReadImage(CRasterFile* f, DecodeState* st);
    bool ReadImageDesc(CRasterFile* f, DecodeState* st, ImageDesc* d);
    void DetectGrid(DecodeState* st, const ImageDesc& d);
    bool MakeFrame(const DecodeState& st, const ImageDesc& d, CRaster* frame);
    void RememberFrame(DecodeState* st, const CRaster& frame, const ImageDesc& d);
    bool KeepScreenCopy(DecodeState* st, const ImageDesc& d);
    bool DecodeFrame(CRasterFile* f, DecodeState* st, CRaster* frame, bool interlaced);
    bool Compose(DecodeState* st, CRaster* frame, int left, int top);
    static bool CanFillScreen(const DecodeState& st);
    bool ComposeGridCell(DecodeState* st, CRaster* frame, int left, int top);
    bool StartCanvas(DecodeState* st, CRaster* frame);
    bool DisposePrevious(DecodeState* st);
    bool Finish(DecodeState* st);
    void Put(CRasterFile* f, const void* bytes, size_t n);
    void PutU16(CRasterFile* f, int v);
    void WriteScreen(CRasterFile* f, const CRaster* img, bool withTable);
    void WriteControl(CRasterFile* f, const CRaster* img, int disposal);
    void WriteComment(CRasterFile* f);
    void WriteLoop(CRasterFile* f, int count);
    void WriteImage(CRasterFile* f, const CRaster* img, bool localTable, int screenW, int screenH);
    bool EncodeTrueColor(CRasterFile* f);

    BYTE control_[4] = {0, 0, 0, 0};  // last graphic control: flags, delay (LE), transparent index
    GifCodes* codes_;
    char comment_[256];
    int loopCount_ = 0;
    bool writeFailed_ = false;
};

extern const RasterCodec kGifCodec;
