// libFuzzer target: the settings record readers on arbitrary file bytes:
// a record file read into records of several sizes, and the older tagged
// record stream searched by group and id, in order, out of order and for
// records that are not there.
// Seeds: streams of every field size, one cut short, and a plain record.
// clang-format off
// seed: /usr/bin/python3 -c "import struct, sys; r = lambda g, i, d, cg=2, ci=2, cl=2: bytes([cg | ci << 2 | cl << 4]) + g.to_bytes(cg, 'little') + i.to_bytes(ci, 'little') + len(d).to_bytes(cl, 'little') + d; open('stream.bin', 'wb').write(r(1, 1, b'abc') + r(1, 2, b'x' * 40, 1, 1, 1) + r(0, 0, b'', 0, 0, 0) + r(3, 7, b'long' * 20, 3, 3, 7) + r(2, 9, b'z', 2, 1, 4))"
// seed: head -c 12 stream.bin > cut.bin && printf '\x12\x01\x02\xff\x00' >> cut.bin
// seed: head -c 64 src.ppm > record.bin
// clang-format on
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "base/str_util.h"
#include "fuzz_support.h"
#include "settings/data_folders.h"
#include "settings/record_file.h"
#include "settings/record_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!gUserDataFolder[0])
        StrCopy(gUserDataFolder, countof(gUserDataFolder), FuzzScratchFolder());
    if (WriteRecordFile("Options", -1, data, (DWORD)size, 0) != size)
        return 0;
    static uint8_t record[300];
    ReadRecordFile("Options", -1, record, 7, 0);
    ReadRecordFile("Options", -1, record, sizeof record, 0);

    CRecordStream rs;
    if (rs.Load("Options", -1, 0) <= 0)
        return 0;
    static const int kWanted[][3] = {{1, 1, 3}, {1, 2, 40}, {0, 0, 8}, {3, 7, 300}, {2, 9, 0}, {1, 1, 1}, {5, 5, 4}};
    for (const auto& w : kWanted) {
        int n = rs.FindRecord(w[0], w[1], record, w[2]);
        if (n > w[2])
            __builtin_trap();  // more than asked for
    }
    // Groups and ids the input names itself.
    for (size_t i = 0; i + 1 < size && i < 16; i += 2)
        rs.FindRecord(data[i], data[i + 1], record, (int)(data[i] % sizeof record));
    return 0;
}
