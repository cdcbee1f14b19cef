// ExifReader: the segments ("sections") of a JPEG file up to its scan, the
// Exif data of its APP1 segment, its first comment and frame size, and a
// writer that puts a file together again from held sections. The bytes
// read are untrusted: every offset and count is checked against the
// segment before use.
//
// Tags count from the first directory and its sub-directories; of the
// directories linked after it (the thumbnail's) only the thumbnail's place.
//
// A decoded file's Exif segment and first comment are kept in a small
// process-wide table under an id stored in the image's ExifInfo, so that
// an image copied, aliased or taken over any number of times can still
// have them written back by the JPEG encoder; the table holds the last
// kExifKeptBlocks of them.
#pragma once
#include <stdint.h>

#include "image/raster.h"

class CRasterFile;

constexpr int kExifMaxSections = 20;
constexpr int kExifKeptBlocks = 8;
constexpr int kExifDataSection = 0x123;  // code of the compressed data after SOS

class ExifReader {
  public:
    // Read modes (bits).
    enum : int {
        kModeExif = 1,  // parse the Exif APP1 and the first comment
        kModeFull = 2,  // keep the compressed data after SOS as a section
    };

    // Fills info; without one the reader has a zeroed record of its own.
    explicit ExifReader(ExifInfo* info = nullptr);
    ~ExifReader();
    ExifReader(const ExifReader&) = delete;
    ExifReader& operator=(const ExifReader&) = delete;

    // Reads sections from the stream's position: SOI, then segments up to
    // and including SOS (and in full mode the rest of the stream). False
    // with a text when the data is not a JPEG, is cut short, has an EOI
    // before the scan or more than kExifMaxSections segments; what was
    // parsed up to there stays in the record.
    bool ReadSections(CRasterFile* f, int mode);
    // Keeps the first APP1 and the first comment, in that order.
    void DiscardAllButExif();
    // True when a full read held the scan and the compressed data.
    bool CanWrite() const;
    // SOI, a JFIF segment when the first section is neither APP1 nor
    // APP0, every section, then the compressed data. False with "Can't
    // write exif : didn't read all" (nothing written) or "write error".
    bool WriteSections(CRasterFile* f);

    // The APP1 contents (from "Exif"); true when it was an Exif block.
    bool ParseExif(const BYTE* data, uint32_t cb);
    // A COM segment's contents.
    void ParseComment(const BYTE* data, uint32_t cb);

    // Puts the first APP1 and first comment into the kept table; returns
    // their id (0 when there is no APP1 or no memory).
    uint32_t KeepExifSections();
    // Replaces the held sections by copies of the kept ones of id; false
    // when the table no longer holds them.
    bool LoadKeptSections(uint32_t id);
    // For a picture other than the one the held APP1 came with: drops the
    // thumbnail (its directory, values and bytes, all strips of a strip
    // thumbnail) and writes the new size into the Exif pixel dimensions.
    // Only bytes that no other directory (IFD0, Exif, GPS, interoperability)
    // uses are cleared; a thumbnail directory overlapping one is only
    // unlinked. False when there is no Exif APP1 or its first directory
    // does not fit.
    bool FitToPicture(int width, int height);

    int SectionCount() const { return count_; }
    int SectionCode(int i) const { return i >= 0 && i < count_ ? sections_[i].code : 0; }
    const char* GetLastError() const { return error_; }
    ExifInfo* Info() const { return info_; }

  private:
    struct Section {
        BYTE* data;  // the two length bytes, then the contents; owned
        int code;
        uint32_t size;
    };
    struct Walk;
    struct SeenSegments {
        bool exif, comment;  // the first Exif APP1 / comment was kept
    };
    bool ReadMarker(CRasterFile* f, int* marker);
    BYTE* ReadSegment(CRasterFile* f, uint32_t* length);
    bool ReadScanData(CRasterFile* f);
    bool KeepSegment(BYTE* data, int marker, uint32_t length, int mode, SeenSegments* seen);
    bool AddSection(BYTE* data, int code, uint32_t size);
    void FreeSections();
    bool ProcessDir(Walk* w, uint32_t dirOffset, int level);
    void ProcessTag(Walk* w, int tag, int format, uint32_t components, const BYTE* value, uint32_t cb);
    void SetError(const char* text);

    ExifInfo* info_;
    bool ownsInfo_;
    char error_[256];
    int exifImageWidth_ = 0;
    bool motorola_ = false;
    Section sections_[kExifMaxSections + 1] = {};  // + the compressed data
    int count_ = 0;
};

// Notes the picture that the file of a kept block decoded to (its size,
// depth and a checksum of its pixels); does nothing when the block is gone.
void ExifNoteKeptPicture(uint32_t id, const CRaster& picture);
// True when the picture is the one noted for the kept block.
bool ExifKeptPictureIs(uint32_t id, const CRaster& picture);

// Copies the thumbnail of the kept Exif block of info into dst (cb bytes
// at most); returns its size in bytes (0: none, or no longer kept). With
// a null dst only the size is returned.
uint32_t ExifCopyThumbnail(const ExifInfo& info, BYTE* dst, uint32_t cb);
