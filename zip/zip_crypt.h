// Traditional PKWARE zip encryption: three 32-bit keys, a 12-byte header
// whose last byte checks the password.
#pragma once
#include <stddef.h>
#include <stdint.h>

constexpr int kZipCryptHeaderLen = 12;

struct ZipKeys {
    uint32_t key[3];
};

// Starts the keys from the fixed values and runs the password through them
// (a null password leaves the start values).
void ZipKeysInit(ZipKeys* keys, const char* password);
void ZipKeysEncrypt(ZipKeys* keys, uint8_t* buf, size_t cb);
void ZipKeysDecrypt(ZipKeys* keys, uint8_t* buf, size_t cb);
// Fills the 12 header bytes (random bytes, then the check byte) and encrypts them.
void ZipKeysMakeHeader(ZipKeys* keys, uint8_t header[kZipCryptHeaderLen], uint8_t checkByte);
// Seeds the header's pseudo-random generator; ZipCreate calls it.
void ZipKeysSeed();
