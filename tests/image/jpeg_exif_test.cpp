// Exif sections: tags and thumbnails written by exiftool in both byte
// orders, comments, the write-back of a decoded file's Exif segment, the
// section writer, and hostile blocks and files that must fail cleanly.
#include <gtest/gtest.h>

#include <vector>

#include "image/exif.h"
#include "image/raster_file.h"
#include "image/raster_jpeg.h"
#include "image_test_util.h"
#include "support/test_support.h"

namespace {

bool DecodeBytes(const std::string& bytes, CRasterJPG* img) {
    CRasterMemFile mem((unsigned char*)bytes.data(), bytes.size());
    return img->DecodeJpg(&mem);
}

bool DecodeFile(const std::string& path, CRasterJPG* img) {
    std::string bytes;
    return ReadFileBytes(path, &bytes) && DecodeBytes(bytes, img);
}

std::string PlainJpeg(int w, int h) {
    CRaster img;
    ImageOf(MakePicture(w, h, 3), &img);
    CRasterJPG jpg;
    jpg.MakeAlias(&img);
    CRasterMemFile mem;
    mem.Open();
    jpg.EncodeJpg(&mem);
    return std::string((char*)mem.GetBuffer(), (size_t)mem.Size());
}

std::string Segment(int code, const std::string& contents) {
    size_t len = contents.size() + 2;
    return std::string{(char)0xFF, (char)code, (char)(len >> 8), (char)len} + contents;
}

// A JPEG with segments put right after SOI.
std::string WithSegments(const std::string& jpeg, const std::string& segments) {
    return jpeg.substr(0, 2) + segments + jpeg.substr(2);
}

// Little builder of TIFF blocks in either byte order.
struct Tiff {
    bool mm;
    std::string b;
    void U16(uint32_t v) {
        if (mm)
            b += (char)(v >> 8), b += (char)v;
        else
            b += (char)v, b += (char)(v >> 8);
    }
    void U32(uint32_t v) {
        if (mm)
            U16(v >> 16), U16(v & 0xFFFF);
        else
            U16(v & 0xFFFF), U16(v >> 16);
    }
    void Header(uint32_t firstIfd = 8) {
        b = mm ? "MM" : "II";
        U16(42);
        U32(firstIfd);
    }
    void Entry(uint32_t tag, uint32_t format, uint32_t count, uint32_t value) {
        U16(tag), U16(format), U32(count), U32(value);
    }
    // A SHORT value sits in the first two bytes of the value field.
    void Short(uint32_t tag, uint32_t v) { U16(tag), U16(3), U32(1), U16(v), U16(0); }
    // Up to four text bytes in the value field.
    void Text4(uint32_t tag, const char* text, uint32_t count) {
        U16(tag), U16(2), U32(count);
        b.append(std::string(text, 4));
    }
    void Pad(size_t size) { b.resize(size, '\0'); }
    std::string App1() const { return "Exif" + std::string(2, '\0') + b; }
};

std::string Peer() {
    return "/usr/bin/python3 " + Quote(std::string(VP_SOURCE_DIR) + "/tests/image/jpeg_peer.py");
}

std::string Exiftool(const std::string& dir, const std::string& args) {
    std::string out;
    RunPeer(dir, "exiftool " + args + " 2>&1", &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

}  // namespace

TEST(JpegExif, ExiftoolTagsInBothByteOrders) {
    std::string dir = MakeTestDir("exif_tags");
    std::string ppm = PathJoin(dir, "src.ppm"), thumb = PathJoin(dir, "thumb.jpg");
    ASSERT_TRUE(WritePpm(ppm, MakePicture(96, 64, 11)));
    ASSERT_TRUE(WritePpm(PathJoin(dir, "t.ppm"), MakePicture(16, 12, 12)));
    ASSERT_EQ(0, RunPeer(dir, "cjpeg -quality 60 -outfile " + Lx(thumb) + " " + Lx(PathJoin(dir, "t.ppm"))));
    std::string thumbBytes;
    ASSERT_TRUE(ReadFileBytes(thumb, &thumbBytes));
    for (const char* order : {"II", "MM"}) {
        SCOPED_TRACE(order);
        bool mm = order[0] == 'M';
        std::string file = PathJoin(dir, std::string(order) + ".jpg"), out;
        ASSERT_EQ(0, RunPeer(dir, "cjpeg -quality 85 -outfile " + Lx(file) + " " + Lx(ppm)));
        std::string tags =
            std::string("-ExifByteOrder=") + (mm ? "Big-endian" : "Little-endian") +
            " -Make=Canon -Model='PowerShot G7 X Mark II' '-DateTimeOriginal=2021:03:04 05:06:07'"
            " -Orientation#=6 -ExposureTime=1/125 -FNumber=2.8 -FocalLength=35 -ExifIFD:Flash#=9"
            " -MeteringMode#=5 -ExposureProgram#=2 -LightSource#=4 -ExposureCompensation=-0.5"
            " -SubjectDistance=3.5 -ExifImageWidth=4000 -FocalPlaneXResolution=5000"
            " -FocalPlaneResolutionUnit#=3 '-UserComment=hello world'" +
            std::string(mm ? " -ISO=2 -IFD0:XResolution=38 -IFD0:YResolution=38 -IFD0:ResolutionUnit=cm"
                           : " -ISO=200 -IFD0:XResolution=72 -IFD0:YResolution=150 -IFD0:ResolutionUnit=inches") +
            " '-ThumbnailImage<=" + UnixPathOf(thumb) + "'";
        ASSERT_EQ(0, RunPeer(dir, "exiftool -q -overwrite_original " + tags + " " + Lx(file), &out)) << out;
        EXPECT_EQ(mm ? "Big-endian (Motorola, MM)" : "Little-endian (Intel, II)",
                  Exiftool(dir, "-s3 -ExifByteOrder " + Lx(file)));
        CRasterJPG img;
        ASSERT_TRUE(DecodeFile(file, &img)) << img.GetLastError();
        const ExifInfo& e = img.Exif();
        EXPECT_EQ(1, e.isExif);
        EXPECT_STREQ("Canon", e.cameraMake);
        EXPECT_STREQ("PowerShot G7 X Mark II", e.cameraModel);
        EXPECT_STREQ("2021:03:04 05:06:07", e.dateTime);
        EXPECT_STREQ(Exiftool(dir, "-s3 -n -ExifVersion " + Lx(file)).c_str(), e.version);
        EXPECT_EQ(6, e.orientation);
        EXPECT_FLOAT_EQ(1.0f / 125, e.exposureTime);
        EXPECT_FLOAT_EQ(2.8f, e.fNumber);
        EXPECT_FLOAT_EQ(35.0f, e.focalLength);
        EXPECT_FLOAT_EQ(-0.5f, e.exposureBias);
        EXPECT_FLOAT_EQ(3.5f, e.distance);
        EXPECT_EQ(1, e.flashUsed);
        EXPECT_EQ(5, e.meteringMode);
        EXPECT_EQ(2, e.exposureProgram);
        EXPECT_EQ(4, e.lightSource);
        EXPECT_EQ(mm ? 400 : 200, e.isoEquivalent);  // below 50: a speed code times 200
        EXPECT_STREQ("hello world", e.comment);
        EXPECT_FLOAT_EQ(0.3937008f, e.focalPlaneUnits);
        EXPECT_NEAR(4000 * 0.3937008 / 5000, e.ccdWidth, 1e-5);
        EXPECT_EQ(96, e.width);
        EXPECT_EQ(64, e.height);
        EXPECT_EQ(1, e.isColor);
        EXPECT_EQ(0xC0, e.process);
        if (mm) {  // 38 per centimetre
            EXPECT_FLOAT_EQ(0.3937008f, e.resolutionUnit);
            EXPECT_EQ(96, img.GetXDpi());
            EXPECT_EQ(96, img.GetYDpi());
        } else {
            EXPECT_FLOAT_EQ(1.0f, e.resolutionUnit);
            EXPECT_EQ(72, img.GetXDpi());
            EXPECT_EQ(150, img.GetYDpi());
        }
        // The thumbnail, byte for byte.
        ASSERT_EQ(thumbBytes.size(), ExifCopyThumbnail(e, nullptr, 0));
        std::string got(thumbBytes.size(), '\0');
        ExifCopyThumbnail(e, (BYTE*)&got[0], (uint32_t)got.size());
        EXPECT_TRUE(got == thumbBytes);
    }
}

TEST(JpegExif, DecodedExifIsWrittenBackOnSave) {
    std::string dir = MakeTestDir("exif_writeback");
    std::string ppm = PathJoin(dir, "src.ppm"), cam = PathJoin(dir, "cam.jpg"), out;
    ASSERT_TRUE(WritePpm(ppm, MakePicture(80, 50, 21)));
    std::string thumb = PathJoin(dir, "thumb.jpg");
    ASSERT_EQ(0, RunPeer(dir, "cjpeg -outfile " + Lx(cam) + " " + Lx(ppm)));
    ASSERT_TRUE(WritePpm(PathJoin(dir, "t.ppm"), MakePicture(20, 12, 22)));
    ASSERT_EQ(0, RunPeer(dir, "cjpeg -outfile " + Lx(thumb) + " " + Lx(PathJoin(dir, "t.ppm"))));
    ASSERT_EQ(0, RunPeer(dir,
                         "exiftool -q -overwrite_original -Make=Nikon -Model=D90 -Orientation#=3 "
                         "-ExifImageWidth=80 -ExifImageHeight=50 '-UserComment=kept' '-ThumbnailImage<=" +
                             UnixPathOf(thumb) + "' " + Lx(cam),
                         &out))
        << out;
    std::string withComment = PathJoin(dir, "camc.jpg");
    // "ab" CR LF "c" and a control byte.
    ASSERT_EQ(0, RunPeer(dir, Peer() + " comment " + Lx(cam) + " " + Lx(withComment) + " 61620d0a6301"));

    CRaster img;
    ASSERT_TRUE(img.Load(withComment.c_str(), kFormatJpg)) << img.GetLastError();
    // The comment came first; the Exif block's UserComment replaced it.
    EXPECT_STREQ("kept", img.Exif().comment);
    // Taken over by the dispatch, then copied: the Exif block goes along.
    CRaster copy(img, true);
    std::string saved = PathJoin(dir, "saved.jpg");
    copy.SetFormatOption(kJpgBaseline, kFormatJpg);
    ASSERT_TRUE(copy.Save(saved.c_str(), kFormatJpg)) << copy.GetLastError();
    EXPECT_EQ("Nikon", Exiftool(dir, "-s3 -Make " + Lx(saved)));
    EXPECT_EQ("D90", Exiftool(dir, "-s3 -Model " + Lx(saved)));
    EXPECT_EQ("3", Exiftool(dir, "-s3 -n -Orientation " + Lx(saved)));
    EXPECT_EQ("kept", Exiftool(dir, "-s3 -UserComment " + Lx(saved)));
    EXPECT_EQ(std::string("ab\r\nc\x01", 6), Exiftool(dir, "-b -Comment " + Lx(saved)));
    // The thumbnail too, byte for byte.
    std::string t1 = PathJoin(dir, "t1.bin"), t2 = PathJoin(dir, "t2.bin"), thumb1, thumb2;
    ASSERT_EQ(0, RunPeer(dir, "exiftool -b -ThumbnailImage " + Lx(cam) + " > " + Lx(t1)));
    ASSERT_EQ(0, RunPeer(dir, "exiftool -b -ThumbnailImage " + Lx(saved) + " > " + Lx(t2)));
    ASSERT_TRUE(ReadFileBytes(t1, &thumb1));
    ASSERT_TRUE(ReadFileBytes(t2, &thumb2));
    EXPECT_LT(100u, thumb1.size());
    EXPECT_TRUE(thumb1 == thumb2);
    // Cropped, the picture keeps its Exif data but no byte of the old
    // thumbnail, and gives its new size.
    CRaster cropped(img, true);
    ASSERT_TRUE(cropped.Crop(0, 0, 40, 50));
    std::string croppedPath = PathJoin(dir, "cropped.jpg"), croppedBytes;
    ASSERT_TRUE(cropped.Save(croppedPath.c_str(), kFormatJpg) && ReadFileBytes(croppedPath, &croppedBytes));
    EXPECT_EQ("Nikon\n" + std::to_string(cropped.Width()) + "\n50\nOK",
              Exiftool(dir, "-s3 -Make -ThumbnailLength -ExifImageWidth -ExifImageHeight -validate -warning " +
                                Lx(croppedPath)));
    EXPECT_EQ(std::string::npos, croppedBytes.find(thumb1.substr(thumb1.size() - 48)));
    // The Exif segment comes first, then the new file's tables; the pixels
    // are those of the plain encode.
    std::string s;
    ASSERT_TRUE(ReadFileBytes(saved, &s));
    ASSERT_GT(s.size(), 12u);
    EXPECT_EQ(0xE1, (uint8_t)s[3]);
    EXPECT_EQ("Exif", s.substr(6, 4));
    CRaster plain(copy, true);
    plain.Exif().isExif = 0;
    std::string plainPath = PathJoin(dir, "plain.jpg");
    ASSERT_TRUE(plain.Save(plainPath.c_str(), kFormatJpg));
    EXPECT_EQ("", Exiftool(dir, "-s3 -Make " + Lx(plainPath)));
    Rgb a, b;
    ASSERT_TRUE(PeerDecode(dir, "pil", saved, &a));
    ASSERT_TRUE(PeerDecode(dir, "pil", plainPath, &b));
    EXPECT_EQ(0, CountDiff(a, b));
    // A later PNG in the same image carries no stale camera data.
    std::string png = PathJoin(dir, "p.png"), fromPng = PathJoin(dir, "frompng.jpg");
    ASSERT_TRUE(Convert(dir, Lx(ppm) + " PNG24:" + Lx(png)));
    CRaster img2;
    ASSERT_TRUE(img2.Load(withComment.c_str(), kFormatJpg));
    ASSERT_TRUE(img2.Load(png.c_str(), kFormatPng));
    ASSERT_TRUE(img2.Save(fromPng.c_str(), kFormatJpg));
    EXPECT_EQ("", Exiftool(dir, "-s3 -Make " + Lx(fromPng)));
    // A file without Exif decodes with the flag clear.
    CRasterJPG none;
    ASSERT_TRUE(DecodeFile(plainPath, &none));
    EXPECT_EQ(0, none.Exif().isExif);

    // Odd thumbnail directories, cropped and saved: the camera's Make stays
    // readable and no byte of the old thumbnail is left. IFD0 holds Make;
    // IFD1 has a length but no offset, or is IFD0 again, or has more values
    // than a table of 24 held before its thumbnail, or is in two strips.
    const std::string thumbBytes = "OLDTHUMB";
    Tiff t{false, ""};
    auto ifd0 = [&](uint32_t next) {
        t.Header();
        t.U16(1);
        t.Entry(271, 2, 6, 26);
        t.U32(next);
        t.b += std::string("Canon\0", 6);
    };
    std::vector<std::pair<const char*, std::string>> odd;
    ifd0(32);
    t.U16(1);
    t.Entry(514, 4, 1, 60);
    t.U32(0);
    odd.push_back({"no offset", t.App1()});
    ifd0(8);
    odd.push_back({"loop", t.App1()});
    ifd0(32);
    const uint32_t values = 32 + 2 + 12 * 32 + 4;
    t.U16(32);
    for (uint32_t i = 0; i < 30; i++)
        t.Entry(50000 + i, 5, 1, values + 8 * i);
    t.Entry(513, 4, 1, values + 240);
    t.Entry(514, 4, 1, 32);
    t.U32(0);
    t.b += std::string(240, '\1');
    for (int i = 0; i < 4; i++)
        t.b += thumbBytes;
    odd.push_back({"many values", t.App1()});
    ifd0(32);
    t.U16(2);
    t.Entry(273, 4, 2, 62);
    t.Entry(279, 4, 2, 70);
    t.U32(0);
    t.U32(78), t.U32(120), t.U32(8), t.U32(8);  // the offsets, then the counts
    t.b += thumbBytes + std::string(34, '\2') + thumbBytes;
    odd.push_back({"strips", t.App1()});
    for (const auto& o : odd) {
        SCOPED_TRACE(o.first);
        std::string oddPath = PathJoin(dir, "odd.jpg"), oddSaved = PathJoin(dir, "odd_saved.jpg"), bytes;
        ASSERT_TRUE(WriteFileBytes(oddPath, WithSegments(PlainJpeg(40, 30), Segment(0xE1, o.second))));
        ASSERT_EQ("Canon", Exiftool(dir, "-s3 -Make " + Lx(oddPath)));
        CRaster edited;
        ASSERT_TRUE(edited.Load(oddPath.c_str(), kFormatJpg)) << edited.GetLastError();
        ASSERT_TRUE(edited.Crop(0, 0, 20, 30));
        ASSERT_TRUE(edited.Save(oddSaved.c_str(), kFormatJpg) && ReadFileBytes(oddSaved, &bytes));
        EXPECT_EQ("Canon", Exiftool(dir, "-s3 -Make " + Lx(oddSaved)));
        EXPECT_EQ(std::string::npos, bytes.find(thumbBytes));
    }
}

TEST(JpegExif, SectionsAreReadAndWrittenAgain) {
    std::string jpeg = PlainJpeg(33, 21);
    Tiff t{false, ""};
    t.Header();
    t.U16(1);
    t.Text4(271, "ABC", 4);
    t.U32(0);
    std::string file = WithSegments(jpeg, Segment(0xE1, t.App1()) + Segment(0xFE, std::string("n\r\no\1\tte\r", 9)) +
                                              Segment(0xFE, "later") + Segment(0xE2, "icc"));
    // Exif mode: no compressed data, so nothing to write.
    ExifReader partial;
    CRasterMemFile in1((unsigned char*)file.data(), file.size());
    ASSERT_TRUE(partial.ReadSections(&in1, ExifReader::kModeExif));
    EXPECT_STREQ("ABC", partial.Info()->cameraMake);
    EXPECT_STREQ("n\no?\tte?", partial.Info()->comment);  // CR LF to LF, controls to '?'
    CRasterMemFile sink;
    sink.Open();
    EXPECT_FALSE(partial.WriteSections(&sink));
    EXPECT_STREQ("Can't write exif : didn't read all", partial.GetLastError());
    EXPECT_EQ(0, sink.Size());
    // Full mode: the file again, less its JFIF segment and later comments.
    ExifReader full;
    CRasterMemFile in2((unsigned char*)file.data(), file.size());
    ASSERT_TRUE(full.ReadSections(&in2, ExifReader::kModeExif | ExifReader::kModeFull));
    ASSERT_TRUE(full.WriteSections(&sink));
    std::string jfif = jpeg.substr(2, 18);
    std::string expect = file;
    expect.erase(expect.find(jfif), jfif.size());
    expect.erase(expect.find(Segment(0xFE, "later")), 9);
    EXPECT_TRUE(std::string((char*)sink.GetBuffer(), (size_t)sink.Size()) == expect);
    // Discarding keeps APP1 then COM.
    full.DiscardAllButExif();
    ASSERT_EQ(2, full.SectionCount());
    EXPECT_EQ(0xE1, full.SectionCode(0));
    EXPECT_EQ(0xFE, full.SectionCode(1));
    // A file starting with tables gets a JFIF segment of 300 DPI.
    ExifReader bare;
    std::string noApp = jpeg.substr(0, 2) + jpeg.substr(20);
    CRasterMemFile in3((unsigned char*)noApp.data(), noApp.size());
    ASSERT_TRUE(bare.ReadSections(&in3, ExifReader::kModeFull));
    CRasterMemFile sink2;
    sink2.Open();
    ASSERT_TRUE(bare.WriteSections(&sink2));
    std::string w((char*)sink2.GetBuffer(), (size_t)sink2.Size());
    EXPECT_EQ(std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\0\x01\x01\x01\x01\x2C\x01\x2C\0\0", 20), w.substr(0, 20));
    EXPECT_TRUE(w.substr(20) == noApp.substr(2));
}

TEST(JpegExif, HostileExifBlocksFailCleanly) {
    struct Case {
        const char* name;
        std::string app1;
        bool ok;
        const char* error;
    };
    std::vector<Case> cases;
    for (bool mm : {false, true}) {
        Tiff t{mm, ""};
        t.Header(0xFFFFFFF0u);
        t.Pad(64);
        cases.push_back({"first offset", t.App1(), false, "Illegal first directory offset"});
        t.Header();
        t.U16(0xFFFF);
        t.Pad(64);
        cases.push_back({"entry count", t.App1(), false, "Illegally sized directory"});
        t.Header();
        t.U16(1);
        t.Entry(282, 5, 0x20000001u, 26);  // 8 x count wraps to 8 in 32 bits
        t.U32(0);
        t.Pad(64);
        cases.push_back({"count x size", t.App1(), false, "Illegal pointer offset value in EXIF."});
        t.Header();
        t.U16(1);
        t.Entry(282, 5, 1, 0xFFFFFFFCu);  // offset + 8 wraps
        t.U32(0);
        t.Pad(64);
        cases.push_back({"offset wrap", t.App1(), false, "Illegal pointer offset value in EXIF."});
        t.Header();
        t.U16(1);
        t.Entry(37510, 7, 0xFFFFFFFFu, 26);
        t.U32(0);
        t.Pad(64);
        cases.push_back({"user comment", t.App1(), false, "Illegal pointer offset value in EXIF."});
        t.Header();
        t.U16(1);
        t.Entry(34665, 4, 1, 0x7FFFFFFF);
        t.U32(0);
        cases.push_back({"sub link", t.App1(), false, "Illegal subdirectory link"});
        t.Header();
        t.U16(1);
        t.Entry(271, 13, 1, 0);
        t.U32(0);
        cases.push_back({"format", t.App1(), false, "Illegal format code in EXIF dir"});
        // Cycles: the directory links to itself as next and as sub-directory.
        t.Header();
        t.U16(3);
        t.Entry(34665, 4, 1, 8);
        t.Entry(40965, 4, 1, 8);
        t.Text4(272, "YZ\0", 3);
        t.U32(8);
        cases.push_back({"self cycle", t.App1(), true, ""});
        // Two directories linking each other; a deep chain of sub-directories.
        t.Header();
        t.U16(1);
        t.Short(274, 9);  // no such rotation
        t.U32(26);
        t.U16(1);
        t.Entry(34665, 4, 1, 8);
        t.U32(8);
        cases.push_back({"two cycle", t.App1(), true, "Undefined rotation value"});
        t.Header();
        for (uint32_t i = 0; i < 8; i++) {
            t.U16(1);
            t.Entry(34665, 4, 1, 8 + 18 * (i + 1));
            t.U32(0);
        }
        t.U16(0);
        t.U32(0);
        cases.push_back({"deep", t.App1(), true, "Maximum directory nesting exceeded (corrupt exif header)"});
        // A thumbnail whose offset + size wraps is not stored; a double of
        // no components is not read past its entry.
        t.Header();
        t.U16(3);
        t.Entry(513, 4, 1, 0xFFFFFFF0u);
        t.Entry(514, 4, 1, 0x20);
        t.Entry(37386, 12, 0, 0);
        cases.push_back({"thumbnail wrap", t.App1(), true, ""});
        // Resolutions beyond any DPI (and beyond an int) leave the DPI.
        t.Header();
        t.U16(3);
        t.Entry(282, 5, 1, 50);
        t.Entry(283, 5, 1, 58);
        t.Short(296, 3);  // centimetres
        t.U32(0);
        t.U32(0xFFFFFFFFu);
        t.U32(1);
        t.U32(40000);
        t.U32(1);
        cases.push_back({"huge resolution", t.App1(), true, ""});
    }
    cases.push_back({"header only", std::string("Exif\0\0", 6), false, "Incorrect Exif header"});
    cases.push_back(
        {"alignment", std::string("Exif\0\0XX\0\x2A\0\0\0\x08", 14), false, "Invalid Exif alignment marker."});
    cases.push_back({"not 42", std::string("Exif\0\0II\x2B\0\x08\0\0\0", 14), false, "Invalid Exif start (1)"});
    std::string jpeg = PlainJpeg(24, 16);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExifReader reader;
        EXPECT_EQ(c.ok, reader.ParseExif((const BYTE*)c.app1.data(), (uint32_t)c.app1.size()));
        EXPECT_STREQ(c.error, reader.GetLastError());
        // In a file: the picture still decodes.
        CRasterJPG img;
        ASSERT_TRUE(DecodeBytes(WithSegments(jpeg, Segment(0xE1, c.app1)), &img)) << img.GetLastError();
        EXPECT_EQ(c.ok ? 1 : 0, img.Exif().isExif);
        EXPECT_EQ(0u, img.Exif().thumbnailSize);
        EXPECT_EQ(96, img.GetXDpi());
        EXPECT_EQ(96, img.GetYDpi());
        EXPECT_EQ(24, img.Width());
        if (std::string(c.name) == "self cycle") {
            EXPECT_STREQ("YZ", img.Exif().cameraModel);
        }
        if (std::string(c.name) == "two cycle") {
            EXPECT_EQ(0, img.Exif().orientation);
        }
    }
}

TEST(JpegExif, HostileFilesFailCleanly) {
    std::string jpeg = PlainJpeg(40, 30);
    // Cut inside the compressed data: completed by libjpeg.
    CRasterJPG cut;
    ASSERT_TRUE(DecodeBytes(jpeg.substr(0, jpeg.size() * 2 / 3), &cut)) << cut.GetLastError();
    EXPECT_EQ(40, cut.Width());
    // Cut inside the headers, or only SOI: an error text, no image.
    for (size_t n : {(size_t)2, (size_t)1, (size_t)25, (size_t)100}) {
        SCOPED_TRACE(n);
        CRasterJPG img;
        EXPECT_FALSE(DecodeBytes(jpeg.substr(0, n), &img));
        EXPECT_NE('\0', img.GetLastError()[0]);
        EXPECT_FALSE(img.IsValid());
    }
    // Dimensions far beyond memory: refused before any buffer.
    std::string huge = jpeg;
    size_t sof = huge.find("\xFF\xC0");
    ASSERT_NE(std::string::npos, sof);
    huge[sof + 5] = huge[sof + 7] = (char)0xFF;
    huge[sof + 6] = huge[sof + 8] = (char)0xDC;  // 65500 x 65500
    CRasterJPG big;
    EXPECT_FALSE(DecodeBytes(huge, &big));
    EXPECT_STREQ("RASTER_MAX_MEMORY exceeded", big.GetLastError());
    EXPECT_EQ(65500, big.Exif().width);
    // 12,000 x 12,000 from a few hundred bytes: refused, not made grey.
    huge[sof + 5] = huge[sof + 7] = (char)0x2E;
    huge[sof + 6] = huge[sof + 8] = (char)0xE0;
    EXPECT_FALSE(DecodeBytes(huge, &big));
    EXPECT_STREQ("JPEG data too short for the picture", big.GetLastError());
    EXPECT_FALSE(big.IsValid());
    // Section reader limits: padding, too many segments, EOI before the scan.
    ExifReader pad;
    std::string padded = "\xFF\xD8" + std::string(8, '\xFF') + "\xFE";
    CRasterMemFile m1((unsigned char*)padded.data(), padded.size());
    EXPECT_FALSE(pad.ReadSections(&m1, ExifReader::kModeExif));
    EXPECT_STREQ("too many padding bytes", pad.GetLastError());
    std::string many;
    for (int i = 0; i < 21; i++)
        many += Segment(0xE3, "x");
    std::string manyFile = WithSegments(jpeg, many);
    ExifReader lots;
    CRasterMemFile m2((unsigned char*)manyFile.data(), manyFile.size());
    EXPECT_FALSE(lots.ReadSections(&m2, ExifReader::kModeExif));
    EXPECT_STREQ("Too many sections in jpg file", lots.GetLastError());
    CRasterJPG manyImg;
    EXPECT_TRUE(DecodeBytes(manyFile, &manyImg));
    std::string eoi("\xFF\xD8\xFF\xFE\x00\x03x\xFF\xD9", 9);
    ExifReader early;
    CRasterMemFile m3((unsigned char*)eoi.data(), eoi.size());
    EXPECT_FALSE(early.ReadSections(&m3, ExifReader::kModeExif));
    EXPECT_STREQ("No image in jpeg!", early.GetLastError());
    std::string shortLen("\xFF\xD8\xFF\xE1\x00\x01", 6);
    ExifReader tiny;
    CRasterMemFile m4((unsigned char*)shortLen.data(), shortLen.size());
    EXPECT_FALSE(tiny.ReadSections(&m4, ExifReader::kModeExif));
    EXPECT_STREQ("invalid marker", tiny.GetLastError());
    // A segment longer than the file.
    std::string longSeg =
        "\xFF\xD8\xFF\xE1\xFF\xF0"
        "Exif";
    ExifReader cutSeg;
    CRasterMemFile m5((unsigned char*)longSeg.data(), longSeg.size());
    EXPECT_FALSE(cutSeg.ReadSections(&m5, ExifReader::kModeExif));
    EXPECT_STREQ("Premature end of file?", cutSeg.GetLastError());
    // Random bytes after a JPEG start: an error, never a crash.
    for (unsigned seed = 1; seed <= 40; seed++) {
        std::string junk = jpeg.substr(0, 2 + seed * 3) + RandomBytes(300, seed);
        CRasterJPG img;
        DecodeBytes(junk, &img);
    }
}
