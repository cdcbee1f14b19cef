// The platform-neutral helpers setup shares with the main program: bounded
// string helpers for the fixed 8-bit buffers and the four buffer sizes.
// Setup includes them through this header only.
#pragma once
#include "base/str_util.h"
