// CDynArray: growth, insertion, removal and sorted insertion over raw bytes.
#include "dyn_array.h"

#include <limits.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

void SwapInts(int* a, int* b) {
    int t = *a;
    *a = *b;
    *b = t;
}

void CDynArrayBase::RemoveAll() {
    free(data);
    data = nullptr;
    count = 0;
    capacity = 0;
}

bool CDynArrayBase::SetCapacityRaw(size_t elemSize, int n, int step) {
    if (n == capacity)
        return n > 0;
    if (n < 1) {
        RemoveAll();
        return false;
    }
    if ((size_t)n > SIZE_MAX / elemSize)
        return false;
    void* block = malloc((size_t)n * elemSize);
    if (!block)
        return false;
    int keep = count < n ? count : n;
    if (keep > 0)
        memcpy(block, data, (size_t)keep * elemSize);
    free(data);
    data = block;
    count = keep;
    capacity = n;
    growStep = step;
    return true;
}

int CDynArrayBase::InsertAtRaw(size_t elemSize, const void* src, int index, int n) {
    if (n <= 0 || !src || n > INT_MAX - count)
        return -1;
    int need = count + n;
    int c = capacity;
    if (c == 0)
        c = growStep;
    if (c < 1)
        c = 16;
    while (c < need) {
        // A step of 0 or another negative value would never grow.
        if (growStep == -1)
            c = c > INT_MAX / 2 ? INT_MAX : c * 2;
        else if (growStep > 0)
            c = c > INT_MAX - growStep ? INT_MAX : c + growStep;
        else
            return -1;
    }
    if (c != capacity && !SetCapacityRaw(elemSize, c, growStep))
        return -1;
    int pos = index < 0 ? 0 : (index > count ? count : index);
    char* base = (char*)data;
    memmove(base + (size_t)(pos + n) * elemSize, base + (size_t)pos * elemSize, (size_t)(count - pos) * elemSize);
    // src may point into the block itself only when it is not moved (callers copy out first).
    memcpy(base + (size_t)pos * elemSize, src, (size_t)n * elemSize);
    count += n;
    return pos;
}

void CDynArrayBase::RemoveAtRaw(size_t elemSize, int index, int n) {
    if (n <= 0 || index < 0 || index > count - n)
        return;
    char* base = (char*)data;
    memmove(base + (size_t)index * elemSize, base + (size_t)(index + n) * elemSize,
            (size_t)(count - index - n) * elemSize);
    count -= n;
}

bool CDynArrayBase::SetSizeRaw(size_t elemSize, int n, int step) {
    if (n < 0)
        return false;
    if (capacity < n && !SetCapacityRaw(elemSize, n, step))
        return false;
    if (n > count)
        memset((char*)data + (size_t)count * elemSize, 0, (size_t)(n - count) * elemSize);
    count = n;
    growStep = step;
    return true;
}

int CDynArrayBase::InsertSortedRaw(size_t elemSize, const void* elem, int (*compare)(const void*, const void*)) {
    if (count == 0)
        return InsertAtRaw(elemSize, elem, 0, 1);
    const char* base = (const char*)data;
    int lo = 0, hi = count - 1;
    do {
        int mid = lo + (hi - lo + 1) / 2;  // the upper middle
        if (compare(elem, base + (size_t)mid * elemSize) < 0)
            hi = mid;
        else
            lo = mid;
    } while (hi - lo >= 2);
    int pos;
    if (compare(elem, base + (size_t)lo * elemSize) < 0)
        pos = lo;
    else
        pos = compare(elem, base + (size_t)hi * elemSize) > 0 ? hi + 1 : hi;
    return InsertAtRaw(elemSize, elem, pos, 1);
}
