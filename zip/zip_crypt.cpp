// Traditional zip encryption, as the zip application note gives it.
#include "zip_crypt.h"

#include <stdlib.h>
#include <zlib.h>

#include "base/os_file.h"

static uint32_t CrcStep(uint32_t k, uint8_t b) {
    static const z_crc_t* table = get_crc_table();
    return (k >> 8) ^ (uint32_t)table[(k ^ b) & 0xFF];
}

static void Update(ZipKeys* keys, uint8_t plain) {
    keys->key[0] = CrcStep(keys->key[0], plain);
    keys->key[1] = (keys->key[1] + (keys->key[0] & 0xFF)) * 134775813u + 1;
    keys->key[2] = CrcStep(keys->key[2], (uint8_t)(keys->key[1] >> 24));
}

static uint8_t StreamByte(const ZipKeys* keys) {
    uint32_t t = (keys->key[2] & 0xFFFF) | 2;
    return (uint8_t)(((t * (t ^ 1)) >> 8) & 0xFF);
}

void ZipKeysInit(ZipKeys* keys, const char* password) {
    keys->key[0] = 0x12345678u;
    keys->key[1] = 0x23456789u;
    keys->key[2] = 0x34567890u;
    if (!password)
        return;
    for (const unsigned char* p = (const unsigned char*)password; *p; p++)
        Update(keys, *p);
}

void ZipKeysEncrypt(ZipKeys* keys, uint8_t* buf, size_t cb) {
    for (size_t i = 0; i < cb; i++) {
        uint8_t plain = buf[i];
        buf[i] = plain ^ StreamByte(keys);
        Update(keys, plain);
    }
}

void ZipKeysDecrypt(ZipKeys* keys, uint8_t* buf, size_t cb) {
    for (size_t i = 0; i < cb; i++) {
        buf[i] ^= StreamByte(keys);
        Update(keys, buf[i]);
    }
}

void ZipKeysMakeHeader(ZipKeys* keys, uint8_t header[kZipCryptHeaderLen], uint8_t checkByte) {
    for (int i = 0; i < kZipCryptHeaderLen - 1; i++)
        header[i] = (uint8_t)((rand() >> 7) & 0xFF);
    header[kZipCryptHeaderLen - 1] = checkByte;
    ZipKeysEncrypt(keys, header, kZipCryptHeaderLen);
}

void ZipKeysSeed() {
    srand(OsRandomSeed());
}
