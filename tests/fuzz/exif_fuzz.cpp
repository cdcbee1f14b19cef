// libFuzzer target: the Exif reader on its own. Bytes that begin as a JPEG
// go through the section reader in full mode (Exif block, comment, frame
// size), are kept, written out again and fitted to another picture's size
// (the thumbnail dropped); any other bytes are an APP1's contents for the
// Exif parser. The thumbnail is copied out either way.
// Seeds: Exif blocks of both byte orders with a thumbnail, GPS and
// comments, whole and as bare APP1 contents.
// clang-format off
// seed: cjpeg -quality 50 -outfile thumb.jpg src.ppm && cjpeg -outfile ii.jpg src.ppm && cp ii.jpg mm.jpg
// seed: exiftool -q -overwrite_original -ExifByteOrder=Little-endian -Make=A -Model=B -Orientation#=6 -XResolution=72 -ResolutionUnit=inches -UserComment=hi -DateTimeOriginal='2020:01:02 03:04:05' -ExposureTime=0.01 "-ThumbnailImage<=thumb.jpg" ii.jpg
// seed: exiftool -q -overwrite_original -ExifByteOrder=Big-endian -Make=C -ISO=2 -FNumber=2.8 -FocalLength=35 -GPSLatitude=1.5 -GPSLatitudeRef=N -Flash=1 -Comment=note mm.jpg
// seed: for f in ii mm; do /usr/bin/python3 -c "import sys; d = open(sys.argv[1], 'rb').read(); i = d.index(b'Exif'); n = int.from_bytes(d[i - 2:i], 'big'); open(sys.argv[2], 'wb').write(d[i:i + n - 2])" $f.jpg $f.app1; done
// seed: rm thumb.jpg
// clang-format on
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include "image/exif.h"
#include "image/raster_file.h"

static void CopyThumbnail(const ExifInfo& info) {
    uint32_t n = ExifCopyThumbnail(info, nullptr, 0);
    if (!n)
        return;
    BYTE* thumb = (BYTE*)malloc(n);
    if (thumb && ExifCopyThumbnail(info, thumb, n) == n) {
        volatile BYTE last = thumb[n - 1];
        (void)last;
    }
    free(thumb);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ExifInfo info = {};
    ExifReader reader(&info);
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8) {
        CRasterMemFile in((unsigned char*)data, size);
        if (reader.ReadSections(&in, ExifReader::kModeExif | ExifReader::kModeFull)) {
            uint32_t id = reader.KeepExifSections();
            CRasterMemFile out;
            out.Open();
            reader.WriteSections(&out);
            ExifReader again;
            if (id && again.LoadKeptSections(id))
                again.FitToPicture(1, 1);  // as for an edited picture
        }
    } else {
        reader.ParseExif(data, (uint32_t)size);
    }
    CopyThumbnail(info);
    return 0;
}
