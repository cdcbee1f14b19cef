// Figures of the peers that scripts/bench.sh timed outside Wine in the same
// run, and the screen it grabbed for the codecs.
#pragma once

#include <string>

// The figure `key` of the file named by VP_PEER_FIGURES (lines "key seconds
// bytes"); false when there is no such file or line.
bool PeerFigure(const char* key, double* seconds, long* bytes);

// The bytes of the binary PPM named by VP_BENCH_SCREEN (a Linux path) and
// its size; false when it is not set or not a P6 file of maxval 255.
// rgb is top-down r, g, b.
bool BenchScreen(std::string* rgb, int* width, int* height);
