// Scratch files of the fuzz targets.
#include "fuzz_support.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

const char* FuzzScratchFolder() {
    static char folder[256];
    if (!folder[0]) {
        const char* tmp = getenv("TMPDIR");
        snprintf(folder, sizeof folder, "%s/vp-fuzz.XXXXXX", tmp && *tmp ? tmp : "/tmp");
        if (!mkdtemp(folder))
            abort();
    }
    return folder;
}

bool FuzzWriteFile(const char* path, const uint8_t* data, size_t size) {
    FILE* f = fopen(path, "wb");
    if (!f)
        return false;
    bool ok = fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}
