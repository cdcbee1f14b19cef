// libFuzzer target: the setup archive reader on arbitrary file bytes: the
// header search, the whole-archive check, record lookups and patch records.
// Seeds: the packer's output, with the shipped scripts and without.
// clang-format off
// seed: printf 'MZ image' > image
// seed: /usr/bin/python3 "$top/setup/pack_setup.py" shipped.exe image "Uninstall.qsc=$top/setup/scripts/Uninstall.qsc" "Setup.qsc=$top/setup/scripts/Setup.qsc" x.pat=image
// seed: /usr/bin/python3 "$top/setup/pack_setup.py" small.exe image Uninstall.qsc=image && rm image
// clang-format on
#include <stddef.h>
#include <stdint.h>

#include "setup/archive_core.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t start;
    if (ArchiveFindHeader(data, size, &start)) {
        char name[kCchRecordName];
        ArchiveCheck(data, size, start, name);
        ArchiveFirstRecordName(data, size, start, name);
        size_t at;
        uint32_t cb;
        volatile unsigned sum = 0;
        static const char* const kNames[] = {"Uninstall.qsc", "SETUP.QSC", "Vellumor Pro.exe", ""};
        for (const char* wanted : kNames) {
            if (ArchiveFindRecord(data, size, start, wanted, &at, &cb) && cb > 0)
                sum += data[at] + data[at + cb - 1];
        }
    }
    size_t pos = 0;
    PatchRecord r;
    while (NextPatchRecord(data, size, &pos, &r) == 1) {
        volatile uint8_t last = r.length ? r.bytes[r.length - 1] : 0;
        (void)last;
    }
    return 0;
}
