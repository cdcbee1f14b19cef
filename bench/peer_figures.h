// Figures of the peers: those that scripts/bench.sh timed outside Wine in
// the same run, the screen it grabbed for the codecs, and peers timed from
// here.
#pragma once

#include <string>

// The figure `key` of the file named by VP_PEER_FIGURES (lines "key seconds
// bytes"); false when there is no such file or line.
bool PeerFigure(const char* key, double* seconds, long* bytes);

// The bytes of the binary PPM named by VP_BENCH_SCREEN (a Linux path) and
// its size; false when it is not set or not a P6 file of maxval 255.
// rgb is top-down r, g, b.
bool BenchScreen(std::string* rgb, int* width, int* height);

// A peer's wall time for one shell command run in dir (its output thrown
// away), best of `runs`; -1, with the command named on stderr, when a run
// failed.
double PeerSeconds(const std::string& dir, const std::string& command, int runs = 3);
