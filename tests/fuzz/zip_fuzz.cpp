// libFuzzer target: the zip reader on arbitrary archive bytes, opened
// without a password and with one: the entry count, every entry's
// description, a lookup of its name and its data extracted to memory in
// pieces.
// Seeds: Info-ZIP's stored, deflated, encrypted, commented and prefixed
// archives and Python's zipfile's.
// clang-format off
// seed: printf 'hello hello hello hello\n' > a.txt && mkdir -p dir && : > dir/empty && head -c 3000 src.ppm > b.bin
// seed: zip -q -X plain.zip a.txt dir dir/empty b.bin && zip -q -X -0 stored.zip a.txt b.bin
// seed: zip -q -X -P secret crypt.zip a.txt b.bin && zip -q -X -0 -P secret cryptstored.zip a.txt
// seed: echo note | zip -q -X -z comment.zip a.txt && printf 'MZ stub' | cat - plain.zip > prefixed.zip && zip -q -A prefixed.zip
// seed: /usr/bin/python3 -c "import zipfile; z = zipfile.ZipFile('py.zip', 'w', zipfile.ZIP_DEFLATED); z.writestr('x/y.txt', b'abc' * 50); z.writestr(zipfile.ZipInfo('d/'), b''); z.close()"
// seed: rm -rf a.txt b.bin dir
// clang-format on
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "fuzz_support.h"
#include "zip/zip.h"

// The password of the encrypted seeds.
static const char kPassword[] = "secret";

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static char path[300];
    if (!path[0])
        snprintf(path, sizeof path, "%s/input.zip", FuzzScratchFolder());
    if (!FuzzWriteFile(path, data, size))
        return 0;
    uint32_t extracted = 0;
    for (int withPassword = 0; withPassword < 2; withPassword++) {
        ZipHandle* zip = UnzipOpen(path, withPassword ? kPassword : nullptr);
        if (!zip)
            continue;
        ZipItem item;
        if (UnzipGetItem(zip, -1, &item) == kZipOk) {
            int count = item.index;
            for (int i = 0; i < count && i < 64; i++) {
                if (UnzipGetItem(zip, i, &item) != kZipOk)
                    continue;
                int found;
                UnzipFindItem(zip, item.name, 1, &found, nullptr);
                // Pieces of an odd size; a bomb stops at 1 MB an input.
                static uint8_t buf[4099];
                uint32_t rc;
                volatile uint8_t sum = 0;
                do {
                    rc = UnzipItemToMemory(zip, i, buf, sizeof buf);
                    sum += buf[0] + buf[sizeof buf - 1];
                    extracted += sizeof buf;
                } while (rc == kZipMoreData && extracted < (1u << 20));
            }
        }
        UnzipClose(zip);
    }
    return 0;
}
