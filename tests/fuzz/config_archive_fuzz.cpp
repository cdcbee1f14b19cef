// libFuzzer target: the restore's reading of a configuration archive on
// arbitrary file bytes: the zip directory, the product entry (keep list and
// version), every entry's name check and data with its CRC.
#include <stdint.h>
#include <stdio.h>
#include <unistd.h>

#include <string>

#include "settings/config_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/config_archive_fuzz-" + std::to_string(getpid()) + ".zip";
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    ZipHandle* zip = UnzipOpen(path.c_str(), nullptr);
    if (zip) {
        static ConfigArchiveHeader header;
        if (ReadConfigProductEntry(zip, "Vellumor Pro", &header) == kConfigArchiveOk)
            VerifyConfigArchive(zip, header.index);
        ZipItem item;
        if (UnzipGetItem(zip, -1, &item) == kZipOk)
            for (int i = 0; i < item.index && i < 64; i++) {
                ZipItem e;
                if (UnzipGetItem(zip, i, &e) == kZipOk)
                    IsCleanConfigEntryName(e.name);
            }
        UnzipClose(zip);
    }
    CheckConfigArchive(path.c_str(), "Vellumor Pro");
    return 0;
}
