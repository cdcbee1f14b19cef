#include "base/dyn_array.h"

#include <gtest/gtest.h>

#include <vector>

static int CompareInt(const int* a, const int* b) {
    return *a < *b ? -1 : *a > *b ? 1 : 0;
}

// Pairs of key and insertion order, to see where equal keys go.
struct Keyed {
    int key;
    int order;
};
static int CompareKeyed(const Keyed* a, const Keyed* b) {
    return a->key - b->key;
}

static std::vector<int> Contents(const CDynArray<int>& a) {
    return std::vector<int>(a.Data(), a.Data() + a.count);
}

TEST(DynArray, GrowsByDoublingFromSixteen) {
    CDynArray<int> a;
    int v = 7;
    EXPECT_EQ(a.Add(&v), 0);
    EXPECT_EQ(a.capacity, 16);
    for (int i = 1; i < 16; i++)
        a.Add(&i);
    EXPECT_EQ(a.capacity, 16);
    EXPECT_EQ(a.Add(&v), 16);
    EXPECT_EQ(a.capacity, 32);
    EXPECT_EQ(*a.At(0), 7);
    EXPECT_EQ(*a.At(15), 15);
}

TEST(DynArray, PositiveGrowStepAddsThatMany) {
    CDynArray<int> a;
    a.growStep = 10;
    int v[25] = {};
    a.Add(v, 1);
    EXPECT_EQ(a.capacity, 10);
    a.Add(v, 10);
    EXPECT_EQ(a.capacity, 20);
    a.Add(v, 14);
    EXPECT_EQ(a.capacity, 30);
}

TEST(DynArray, InvalidGrowStepFailsInsteadOfLooping) {
    CDynArray<uint8_t> bytes;
    ASSERT_TRUE(bytes.SetSize(4, 0));  // as the record stream does
    uint8_t more[32] = {};
    EXPECT_EQ(bytes.Add(more, 1), -1);  // full: a step of 0 can't grow
    EXPECT_EQ(bytes.count, 4);
    CDynArray<int> a;
    a.growStep = -3;
    int v[20] = {};
    EXPECT_EQ(a.Add(v, 17), -1);
    EXPECT_EQ(a.count, 0);
    EXPECT_EQ(a.Add(v, 16), 0);  // fits the first block: no growth needed
}

TEST(DynArray, InsertAtClampsThePosition) {
    CDynArray<int> a;
    int v[] = {1, 2, 3};
    a.Add(v, 3);
    int x = 9;
    EXPECT_EQ(a.InsertAt(&x, -5), 0);
    EXPECT_EQ(a.InsertAt(&x, a.count + 7), 4);
    EXPECT_EQ(Contents(a), (std::vector<int>{9, 1, 2, 3, 9}));
    int y[] = {5, 6};
    EXPECT_EQ(a.InsertAt(y, 2, 2), 2);
    EXPECT_EQ(Contents(a), (std::vector<int>{9, 1, 5, 6, 2, 3, 9}));
    EXPECT_EQ(a.InsertAt(nullptr, 0), -1);
    EXPECT_EQ(a.InsertAt(y, 0, 0), -1);
}

TEST(DynArray, RemoveAtChecksItsRange) {
    CDynArray<int> a;
    int v[] = {10, 11, 12, 13};
    a.Add(v, 4);
    a.RemoveAt(2, 3);
    EXPECT_EQ(a.count, 4);
    a.RemoveAt(-1, 1);
    a.RemoveAt(0, 0);
    EXPECT_EQ(a.count, 4);
    a.RemoveAt(1, 3);
    EXPECT_EQ(Contents(a), (std::vector<int>{10}));
    EXPECT_EQ(a.capacity, 16);  // never shrunk
}

TEST(DynArray, InsertSortedKeepsOrderAndPlacesEqualKeysBehind) {
    CDynArray<Keyed> a;
    Keyed in[] = {{5, 0}, {1, 1}, {3, 2}, {3, 3}};
    for (const Keyed& k : in)
        a.InsertSorted(&k, CompareKeyed);
    ASSERT_EQ(a.count, 4);
    EXPECT_EQ(a.At(0)->key, 1);
    EXPECT_EQ(a.At(1)->order, 2);
    EXPECT_EQ(a.At(2)->order, 3);  // the second 3 behind the first
    EXPECT_EQ(a.At(3)->key, 5);

    CDynArray<Keyed> b;
    Keyed base[] = {{1, 0}, {2, 1}, {5, 2}};
    b.Add(base, 3);
    Keyed two = {2, 9};
    EXPECT_EQ(b.InsertSorted(&two, CompareKeyed), 2);
    EXPECT_EQ(b.At(1)->order, 1);
    EXPECT_EQ(b.At(2)->order, 9);
}

TEST(DynArray, InsertSortedMatchesASortOverManyInputs) {
    for (unsigned seed = 1; seed < 40; seed++) {
        CDynArray<int> a;
        std::vector<int> ref;
        unsigned x = seed;
        for (int i = 0; i < 60; i++) {
            x = x * 1103515245u + 12345u;
            int v = (int)((x >> 16) % 23);
            a.InsertSorted(&v, CompareInt);
            ref.push_back(v);
        }
        std::sort(ref.begin(), ref.end());
        ASSERT_EQ(Contents(a), ref) << "seed " << seed;
    }
}

TEST(DynArray, ClearKeepsTheBlockAndSetSizeZeroFills) {
    CDynArray<int> a;
    int v[] = {1, 2, 3};
    a.Add(v, 3);
    void* block = a.data;
    a.Clear();
    EXPECT_EQ(a.count, 0);
    a.Add(v, 1);
    EXPECT_EQ(a.data, block);

    CDynArray<uint8_t> bytes;
    uint8_t four[] = {0xAA, 0xBB, 0xCC, 0xDD};
    bytes.Add(four, 4);
    ASSERT_TRUE(bytes.SetSize(10));
    EXPECT_EQ(bytes.count, 10);
    for (int i = 4; i < 10; i++)
        EXPECT_EQ(*bytes.At(i), 0) << i;
    EXPECT_EQ(*bytes.At(3), 0xDD);
}

TEST(DynArray, SetCapacity) {
    CDynArray<int> a;
    int v[] = {1, 2, 3, 4, 5};
    a.Add(v, 5);
    EXPECT_TRUE(a.SetCapacity(16));  // the capacity it has: nothing changes
    EXPECT_EQ(a.count, 5);
    EXPECT_TRUE(a.SetCapacity(3, 4));
    EXPECT_EQ(a.count, 3);
    EXPECT_EQ(a.capacity, 3);
    EXPECT_EQ(a.growStep, 4);
    EXPECT_EQ(Contents(a), (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(a.SetCapacity(0));
    EXPECT_EQ(a.count, 0);
    EXPECT_EQ(a.data, nullptr);
    a.RemoveAll();
    EXPECT_EQ(a.capacity, 0);
}

TEST(DynArray, SwapInts) {
    int a = 3, b = -8;
    SwapInts(&a, &b);
    EXPECT_EQ(a, -8);
    EXPECT_EQ(b, 3);
}
