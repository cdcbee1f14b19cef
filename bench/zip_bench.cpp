// Zip benchmark: writes and reads a folder of 20 config-like files
// (1-20 KB) and one 5 MB file, beside Info-ZIP "zip -8" and "unzip" on the
// same data in the same run, and prints time and size as ratios to theirs.
#include <stdio.h>

#include <chrono>
#include <string>

#include "support/test_support.h"
#include "zip/zip.h"

static double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs a peer command several times and returns its best wall time, measured on the Linux side.
static double PeerSeconds(const std::string& dir, const std::string& command, int runs) {
    double best = 1e9;
    for (int i = 0; i < runs; i++) {
        std::string out;
        if (RunPeer(dir, "s=$(date +%s%N); " + command + " >/dev/null || exit 1; e=$(date +%s%N); echo $((e - s))",
                    &out) != 0) {
            fprintf(stderr, "peer failed: %s\n%s", command.c_str(), out.c_str());
            return -1;
        }
        double t = atof(out.c_str()) / 1e9;
        best = t < best ? t : best;
    }
    return best;
}

int main() {
    const int runs = 5;
    std::string dir = MakeTestDir("zip-bench");
    RunPeer(dir, "mkdir -p data");
    std::string names[21];
    for (int i = 0; i < 20; i++) {
        names[i] = "config" + std::to_string(i) + ".qcg";
        WriteFileBytes(PathJoin(dir, "data/" + names[i]), TextLikeBytes(1024 + i * 1024, i + 1));
    }
    // The large file: half text-like, half random (an image already compressed).
    names[20] = "large.bin";
    WriteFileBytes(PathJoin(dir, "data/large.bin"), TextLikeBytes(2621440, 99) + RandomBytes(2621440, 98));

    std::string archive = PathJoin(dir, "ours.zip");
    double writeBest = 1e9, readBest = 1e9;
    for (int r = 0; r < runs; r++) {
        auto start = std::chrono::steady_clock::now();
        ZipHandle* zip = ZipCreate(archive.c_str(), nullptr);
        for (const std::string& n : names)
            if (!zip || ZipAddFile(zip, n.c_str(), PathJoin(dir, "data/" + n).c_str()) != kZipOk) {
                fprintf(stderr, "write failed\n");
                return 1;
            }
        ZipClose(zip);
        double t = Seconds(start);
        writeBest = t < writeBest ? t : writeBest;

        start = std::chrono::steady_clock::now();
        zip = UnzipOpen(archive.c_str(), nullptr);
        std::string out = PathJoin(dir, "ours-out");
        UnzipSetBaseDir(zip, out.c_str());
        ZipItem item;
        UnzipGetItem(zip, -1, &item);
        int count = item.index;
        for (int i = 0; i < count; i++)
            if (UnzipGetItem(zip, i, &item) != kZipOk || UnzipItemToFile(zip, i, item.name) != kZipOk) {
                fprintf(stderr, "read failed\n");
                return 1;
            }
        UnzipClose(zip);
        t = Seconds(start);
        readBest = t < readBest ? t : readBest;
    }
    double zipTime = PeerSeconds(dir, "rm -f theirs.zip; cd data && zip -q -8 -X ../theirs.zip *", runs);
    double unzipTime = PeerSeconds(dir, "rm -rf theirs-out; unzip -q theirs.zip -d theirs-out", runs);
    std::string ours, theirs;
    ReadFileBytes(archive, &ours);
    ReadFileBytes(PathJoin(dir, "theirs.zip"), &theirs);
    if (zipTime <= 0 || unzipTime <= 0 || theirs.empty())
        return 1;
    printf("zip write: ours %.3f s, zip -8 %.3f s, ratio %.2f (aim <= 1.20)\n", writeBest, zipTime,
           writeBest / zipTime);
    printf("zip read:  ours %.3f s, unzip %.3f s, ratio %.2f (aim <= 1.20)\n", readBest, unzipTime,
           readBest / unzipTime);
    printf("zip size:  ours %zu bytes, zip -8 %zu bytes, ratio %.4f (aim <= 1.02)\n", ours.size(), theirs.size(),
           (double)ours.size() / (double)theirs.size());
    return 0;
}
