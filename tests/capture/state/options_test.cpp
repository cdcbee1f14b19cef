// The option set against real files: first run, round trip read back by
// Python's zipfile, the raw older record, and out-of-range values.
#include "capture/state/options.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/str_util.h"
#include "settings/config_file.h"
#include "settings/data_folders.h"
#include "tests/support/test_support.h"

static const char kPassword[] = "KorTamVu82e41q";

class OptionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = MakeTestDir("capopts");
        StrCopy(gUserDataFolder, countof(gUserDataFolder), dir.c_str());
        StrCopy(gCommonDataFolder, countof(gCommonDataFolder), dir.c_str());
        gOpt = COptions();
    }
    std::string dir;
};

TEST_F(OptionsTest, FirstRunKeepsDefaultsAndWritesNothing) {
    ExchangeOptions(kReadOptions);
    EXPECT_EQ(gOpt.DefColMode, 6);
    EXPECT_EQ(gOpt.HotKeyCapture, 44);
    EXPECT_EQ(gOpt.HotKeyVellumor, 300);
    EXPECT_STREQ(gOpt.EdtSavePath, "C:\\Vellumor");
    EXPECT_FALSE(FileExists(PathJoin(dir, "Options.qcg")));
}

TEST_F(OptionsTest, RoundTripReadByZipfile) {
    gOpt.CapMode = kCapScreen;
    gOpt.Delay = 1;
    gOpt.DelayTime = 2000;
    gOpt.CRBack = 0x00123456;
    gOpt.MonWidth = 40.5f;
    StrCopy(gOpt.EdtSavePath, countof(gOpt.EdtSavePath), "C:\\shots\\shot");
    ExchangeOptions(kWriteOptions);
    std::string out;
    ASSERT_EQ(RunPeer(dir,
                      std::string("/usr/bin/python3 -c \"import zipfile;z=zipfile.ZipFile('Options.qcg');"
                                  "z.setpassword(b'") +
                          kPassword + "');print(z.read(z.infolist()[0]).replace(bytes([0,13,10]),b'\\n').decode())\"",
                      &out),
              0)
        << out;
    EXPECT_NE(out.find("CapMode=2\n"), std::string::npos) << out;
    EXPECT_NE(out.find("DelayTime=2000\n"), std::string::npos);
    EXPECT_NE(out.find("CRBack=0x00123456\n"), std::string::npos);
    EXPECT_NE(out.find("MonWidth=40.5"), std::string::npos);
    EXPECT_NE(out.find("EdtSavePath=C:\\shots\\shot\n"), std::string::npos);
    EXPECT_NE(out.find("\nFont="), std::string::npos);
    EXPECT_NE(out.find("\nHeadFontColor="), std::string::npos);
    EXPECT_EQ(out.find("gOpt."), std::string::npos);

    gOpt = COptions();
    gOpt.MonWidth = 1.0f;
    ExchangeOptions(kReadOptions);
    EXPECT_EQ(gOpt.CapMode, kCapScreen);
    EXPECT_EQ(gOpt.DelayTime, 2000);
    EXPECT_EQ(gOpt.CRBack, 0x00123456u);
    EXPECT_FLOAT_EQ(gOpt.MonWidth, 40.5f);
    EXPECT_STREQ(gOpt.EdtSavePath, "C:\\shots\\shot");
}

TEST_F(OptionsTest, RawOlderRecordIsImportedAndReplaced) {
    std::vector<uint8_t> b(1796, 0);
    auto put = [&](size_t off, int32_t v) { memcpy(&b[off], &v, 4); };
    put(0, 3);        // colour mode first in this form
    put(4, 0);        // AutoStart
    put(36, 1);       // CapMode
    put(60, 15);      // Minutes
    put(1692, 1500);  // DelayTime
    memcpy(&b[76 + 260], "D:\\old\\pic", 11);
    ASSERT_TRUE(WriteFileBytes(PathJoin(dir, "Options.qcg"), std::string(b.begin(), b.end())));
    gOpt.NextN = 42;  // after TextFrame: keeps its value
    ExchangeOptions(kReadOptions);
    EXPECT_EQ(gOpt.DefColMode, 3);
    EXPECT_EQ(gOpt.CapMode, kCapWindow);
    EXPECT_EQ(gOpt.Minutes, 15);
    EXPECT_EQ(gOpt.DelayTime, 1500);
    EXPECT_STREQ(gOpt.EdtSavePath, "D:\\old\\pic");
    EXPECT_EQ(gOpt.NextN, 42);
    std::string now;
    ASSERT_TRUE(ReadFileBytes(PathJoin(dir, "Options.qcg"), &now));
    ASSERT_GE(now.size(), 4u);
    EXPECT_EQ(now[0], 'P');  // the zip form at once
    EXPECT_EQ(now[1], 'K');
}

TEST_F(OptionsTest, ValuesReadAreBroughtIntoRange) {
    CConfigFile cfg(1, "gOpt.");
    int32_t v[] = {99, -5, 12, 0, 500000, 20000};
    cfg.Int(&v[0], "gOpt.DefColMode");
    cfg.Int(&v[1], "gOpt.Monitor");
    cfg.Int(&v[2], "gOpt.CapMode");
    cfg.Int(&v[3], "gOpt.Minutes");
    cfg.Int(&v[4], "gOpt.MonDPI");
    cfg.Int(&v[5], "gOpt.DelayTime");
    int32_t minimised = SW_SHOWMINIMIZED;
    cfg.Int(&minimised, "gOpt.AdjWndMax");
    ASSERT_GT(cfg.SaveArchive("Options", -1, 0), 0);
    ExchangeOptions(kReadOptions);
    EXPECT_EQ(gOpt.DefColMode, 6);
    EXPECT_EQ(gOpt.Monitor, 0);
    EXPECT_EQ(gOpt.CapMode, kCapActiveWindow);
    EXPECT_EQ(gOpt.Minutes, 1);
    EXPECT_EQ(gOpt.MonDPI, 10000);
    EXPECT_EQ(gOpt.DelayTime, 10000);
    EXPECT_EQ(gOpt.AdjWndMax, SW_SHOWNORMAL);
    EXPECT_EQ(gOpt.Delay, 0);  // absent key keeps the default
}

// The editor offers brush sizes up to 128; the stored size keeps them and
// brings anything else into 1..128.
TEST_F(OptionsTest, BrushSizesOfTheEditorAreKept) {
    const int32_t cases[][2] = {{128, 128}, {100, 100}, {1, 1}, {129, 128}, {500, 128}, {0, 1}, {-4, 1}};
    for (const auto& c : cases) {
        CConfigFile cfg(1, "gOpt.");
        int32_t size = c[0];
        cfg.Int(&size, "gOpt.BrushSize");
        ASSERT_GT(cfg.SaveArchive("Options", -1, 0), 0);
        gOpt = COptions();
        ExchangeOptions(kReadOptions);
        EXPECT_EQ(gOpt.BrushSize, c[1]) << "stored " << c[0];
        ExchangeOptions(kWriteOptions);  // and written back as read
        gOpt = COptions();
        ExchangeOptions(kReadOptions);
        EXPECT_EQ(gOpt.BrushSize, c[1]) << "stored " << c[0];
    }
}

TEST_F(OptionsTest, TaggedOlderRecordsAreImported) {
    // Header: no group bytes, one id byte, two length bytes.
    std::string s;
    auto rec = [&](int id, const void* data, int size) {
        s += (char)0x24;
        s += (char)id;
        s += (char)(size & 0xFF);
        s += (char)(size >> 8);
        s.append((const char*)data, size);
    };
    int32_t capMode = 3, jpg = 90;
    rec(9, &capMode, 4);
    rec(16, &jpg, 4);
    char save[260] = "E:\\tagged\\img";
    rec(19, save, 260);
    int32_t nextN = 77;
    rec(53, &nextN, 4);
    ASSERT_TRUE(WriteFileBytes(PathJoin(dir, "Options.qcg"), s));
    ExchangeOptions(kReadOptions);
    EXPECT_EQ(gOpt.CapMode, kCapActiveWindow);
    EXPECT_EQ(gOpt.JPGQuality, 90);
    EXPECT_STREQ(gOpt.EdtSavePath, "E:\\tagged\\img");
    EXPECT_EQ(gOpt.NextN, 77);
    EXPECT_EQ(gOpt.DefColMode, 6);  // absent record keeps the default
    std::string now;
    ASSERT_TRUE(ReadFileBytes(PathJoin(dir, "Options.qcg"), &now));
    EXPECT_EQ(now.substr(0, 2), "PK");
}
