// CRasterTIF: TIFF files through libtiff (format id 6).
#pragma once
#include "image/raster.h"
#include "image/raster_codec.h"

struct tiff;

// Option word of format id 6: the TIFF compression code to write; 0 picks
// one by depth (CCITT G4 for 1 bit, LZW for 4 and 8 bits, JPEG for 24). A
// decode stores the file's compression there when it can be written again
// at the decoded depth, else 0.
class CRasterTIF : public CRaster {
  public:
    CRasterTIF() : CRaster(kFormatTif) {}
    ~CRasterTIF() override;
    // Reads the page numbered by the current frame; the frame count becomes
    // the file's page count. Size-only mode (escape -1): true with the size
    // and "output dimensions returned". Texts: "Error encountered while
    // opening TIFF file", "Error: page not present in TIFF file",
    // "Cancelled", "CRasterTIF can't create image", "No space for raster
    // buffer", "Corrupted TIFF file!", "Too big palette to handle",
    // "CRasterTIF can't allocate memory", "Corrupted tiled TIFF file!",
    // "unsupported TIFF sample format", "unsupported TIFF photometric",
    // "TIFF strip lies past the end of the file", "TIFF data too short for
    // the picture" (both before the picture is made). A strip that fails
    // to decode ends the reading with the rows so far (true); a page of
    // which no row can be read fails ("Corrupted TIFF file!").
    bool DecodeTif(CRasterFile* f);
    // Writes the image as the next page. Without append the file is
    // completed and the handle closed; with append the page's directory is
    // written and the handle stays open for the next call. Texts: "null file
    // handler", "null image!!!", "initialization fail", "Error saving TIFF
    // file", "Error saving TIFF directory"; a failure closes the handle, and
    // after a failed page of a multi-page file every call up to the one
    // without append fails too ("Error saving TIFF file").
    bool EncodeTif(CRasterFile* f, bool append = false);

  private:
    void CloseOutput();
    struct tiff* out_ = nullptr;  // the file being written, between pages
    BYTE multiPage_ = 0;
    BYTE broken_ = 0;  // a page of the multi-page file being written failed
    int pages_ = 0;
};

// Whether a compression code can be written for an image of bpp bits.
bool TiffCompressionFits(uint32_t compression, int bpp);

extern const RasterCodec kTifCodec;
