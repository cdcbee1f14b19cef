// libFuzzer target: the option store's text parser on arbitrary text,
// stored as the option archive's entry and loaded as the program loads its
// options, then read back through every typed accessor, with indexed
// keys, repeated and out-of-order lookups and short buffers.
// Seeds: texts as the store writes them, and damaged ones.
// clang-format off
// seed: printf 'Width=640\0\r\nColors[0]=0x00FF8000\0\r\nColors[1]=0x00000001\0\r\nZoom=1.5\0\r\nFrame=1,2,300,400\0\r\nName=shot\0\r\nKey=0A1BFF\0\r\n' > good.txt
// seed: printf 'Width=-2147483649\0\r\nZoom=nan\0\r\nFrame=1,2\0\r\nKey=0G\0\r\nName=' > bad.txt
// seed: printf 'HeadWidth=3\0\r\n=\0\r\nWidth\0\r\nWidth=7' > partial.txt
// clang-format on
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "base/str_util.h"
#include "fuzz_support.h"
#include "settings/config_file.h"
#include "settings/data_folders.h"
#include "zip/zip.h"

// A view of the program's options: every kind of accessor.
struct Options {
    int32_t width;
    uint32_t colors[3];
    float zoom;
    int32_t frame[4];
    char name[8];
    char longName[1100];
    uint8_t key[5];
};

static void Exchange(CConfigFile* cf, Options* o) {
    cf->Int(&o->width, "&gOpt.Width");
    for (int i = 0; i < 3; i++)
        cf->Hex(&o->colors[i], "&gOpt.Colors[i]", i);
    cf->Float(&o->zoom, "&gOpt.Zoom");
    cf->Rect(o->frame, "&gOpt.Frame");
    cf->String(o->name, sizeof o->name, "&gOpt.Name");
    cf->String(o->longName, sizeof o->longName, "&gOpt.Name");
    cf->Bytes(o->key, sizeof o->key, "&gOpt.Key");
    // Earlier keys again, after the later ones were found.
    cf->Int(&o->width, "&gOpt.Width");
    cf->Hex(&o->colors[0], "&gOpt.Colors[i]", 0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static char path[300];
    if (!path[0]) {
        StrCopy(gUserDataFolder, countof(gUserDataFolder), FuzzScratchFolder());
        snprintf(path, sizeof path, "%s/Options.qcg", gUserDataFolder);
    }
    ZipHandle* zip = ZipCreate(path, nullptr);
    if (!zip)
        return 0;
    ZipAddMemory(zip, "7", size ? data : nullptr, (uint32_t)size);
    if (ZipClose(zip) != kZipOk)
        return 0;
    CConfigFile cf(0, "gOpt.");
    if (cf.LoadArchive("Options", -1, 0) < 0)
        return 0;
    Options o = {};
    Exchange(&cf, &o);
    // The text read back is a C string within the value's bounds.
    volatile size_t n = strlen(o.name) + strlen(o.longName);
    (void)n;
    return 0;
}
