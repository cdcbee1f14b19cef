// CDynArray: the growable array of fixed-size elements that every list of
// the framework uses. Elements are plain bytes: copying, moving and freeing
// never run anything on an element; an owner of pointers frees them itself.
#pragma once
#include <stddef.h>

#include <type_traits>

// Exchanges two 32-bit integers.
void SwapInts(int* a, int* b);

// The untyped array; CDynArray<T> below is the typed front.
// Invariants: 0 <= count <= capacity; data is null exactly when capacity is 0.
struct CDynArrayBase {
    int count = 0;         // elements in use
    void* data = nullptr;  // malloc'd block of capacity elements
    int growStep = -1;     // -1 doubles (first block 16); > 0 adds that many
    int capacity = 0;      // elements the block holds

    CDynArrayBase() = default;
    CDynArrayBase(const CDynArrayBase&) = delete;
    CDynArrayBase& operator=(const CDynArrayBase&) = delete;
    ~CDynArrayBase() { RemoveAll(); }

    // Frees the block; count and capacity become 0 (the grow step is kept).
    void RemoveAll();
    // Count becomes 0; block and capacity are kept.
    void Clear() { count = 0; }

  protected:
    // All return -1 / false on failure with the array unchanged, except
    // SetCapacityRaw(n < 1), which empties the array and reports failure.
    int InsertAtRaw(size_t elemSize, const void* src, int index, int n);
    int InsertSortedRaw(size_t elemSize, const void* elem, int (*compare)(const void*, const void*));
    void RemoveAtRaw(size_t elemSize, int index, int n);
    bool SetCapacityRaw(size_t elemSize, int n, int step);
    bool SetSizeRaw(size_t elemSize, int n, int step);
};

template <class T>
struct CDynArray : CDynArrayBase {
    static_assert(std::is_trivially_copyable<T>::value, "elements are copied as raw bytes");
    typedef int (*Compare)(const T* a, const T* b);

    // No bounds check: callers keep 0 <= i < count.
    T* At(int i) const { return (T*)data + i; }
    T* Data() const { return (T*)data; }
    // Index of the first new element, or -1.
    int Add(const T* src, int n = 1) { return InsertAtRaw(sizeof(T), src, count, n); }
    // Inserts n elements before index (clamped to [0, count]); position or -1.
    int InsertAt(const T* src, int index, int n = 1) { return InsertAtRaw(sizeof(T), src, index, n); }
    // Inserts into an array kept ascending by compare; position or -1.
    int InsertSorted(const T* elem, Compare compare) {
        return InsertSortedRaw(sizeof(T), elem, (int (*)(const void*, const void*))compare);
    }
    // Nothing happens when n <= 0, index < 0 or index + n > count.
    void RemoveAt(int index, int n = 1) { RemoveAtRaw(sizeof(T), index, n); }
    bool SetCapacity(int n, int step = -1) { return SetCapacityRaw(sizeof(T), n, step); }
    // Makes count n, zero-filling new elements.
    bool SetSize(int n, int step = -1) { return SetSizeRaw(sizeof(T), n, step); }
};
