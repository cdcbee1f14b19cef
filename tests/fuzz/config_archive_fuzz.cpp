// libFuzzer target: the restore's reading of a configuration archive on
// arbitrary file bytes: the zip directory, the product entry (keep list and
// version), every entry's stored and sanitised name checks and data with
// its CRC.
// Seeds: archives by Info-ZIP and Python's zipfile.
// clang-format off
// seed: printf '*.ini\000 3.2.10' > 'Vellumor Pro' && printf 'gOpt.A=1\r\n' > Options.qcg
// seed: zip -q -X info.zip 'Vellumor Pro' Options.qcg && zip -q -0 -X stored.zip 'Vellumor Pro' Options.qcg && rm -f 'Vellumor Pro' Options.qcg
// seed: /usr/bin/python3 -c "import zipfile; z = zipfile.ZipFile('py.zip', 'w', zipfile.ZIP_DEFLATED); z.writestr('Vellumor Pro', b'\x003.2.10'); z.writestr('sub/../x.qcg', b'y'); z.close()"
// clang-format on
#include <stdint.h>
#include <stdio.h>

#include "fuzz_support.h"
#include "settings/config_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static char path[300];
    if (!path[0])
        snprintf(path, sizeof path, "%s/input.zip", FuzzScratchFolder());
    if (!FuzzWriteFile(path, data, size))
        return 0;
    ZipHandle* zip = UnzipOpen(path, nullptr);
    if (zip) {
        static ConfigArchiveHeader header;
        static char bad[260];
        if (ReadConfigProductEntry(zip, "Vellumor Pro", &header) == kConfigArchiveOk)
            VerifyConfigArchive(zip, header.index, bad, sizeof bad);
        ZipItem item;
        if (UnzipGetItem(zip, -1, &item) == kZipOk)
            for (int i = 0; i < item.index && i < 64; i++) {
                ZipItem e;
                if (UnzipGetItem(zip, i, &e) == kZipOk)
                    IsCleanConfigEntryName(e.name);
                char stored[260];
                if (UnzipGetStoredName(zip, i, stored, sizeof stored) == kZipOk)
                    IsOwnConfigEntryName(stored);
            }
        UnzipClose(zip);
    }
    CheckConfigArchive(path, "Vellumor Pro");
    return 0;
}
