// The handle-based zip interface: checks handles and arguments, then hands
// over to CZipWriter and CZipReader.
#include <string.h>

#include "zip.h"
#include "zip_reader.h"
#include "zip_writer.h"

static uint32_t CheckKind(const ZipHandle* zip, uint32_t kind) {
    if (!zip || !zip->object)
        return kZipErrArgument;
    return zip->kind == kind ? kZipOk : kZipErrHandleKind;
}

static CZipWriter* Writer(ZipHandle* zip) {
    return (CZipWriter*)zip->object;
}

static CZipReader* Reader(ZipHandle* zip) {
    return (CZipReader*)zip->object;
}

ZipHandle* ZipCreate(const char* archive, const char* password) {
    if (!archive || !*archive)
        return nullptr;
    CZipWriter* w = new CZipWriter;
    if (!w->Create(archive, password)) {
        delete w;
        return nullptr;
    }
    return new ZipHandle{kZipKindWriter, w};
}

uint32_t ZipAddFile(ZipHandle* zip, const char* name, const char* sourceFile) {
    uint32_t rc = CheckKind(zip, kZipKindWriter);
    return rc ? rc : Writer(zip)->AddFile(name, sourceFile);
}

uint32_t ZipAddMemory(ZipHandle* zip, const char* name, const void* data, uint32_t cb) {
    uint32_t rc = CheckKind(zip, kZipKindWriter);
    return rc ? rc : Writer(zip)->AddMemory(name, data, cb);
}

uint32_t ZipClose(ZipHandle* zip) {
    uint32_t rc = CheckKind(zip, kZipKindWriter);
    if (rc)
        return rc;
    rc = Writer(zip)->Close();
    delete Writer(zip);
    delete zip;
    return rc;
}

ZipHandle* UnzipOpen(const char* archive, const char* password) {
    CZipReader* r = new CZipReader;
    if (!r->Open(archive, password)) {
        delete r;
        return nullptr;
    }
    return new ZipHandle{kZipKindReader, r};
}

bool IsUnzipHandle(const ZipHandle* zip) {
    return zip && zip->kind == kZipKindReader;
}

uint32_t UnzipGetItem(ZipHandle* zip, int index, ZipItem* item) {
    uint32_t rc = CheckKind(zip, kZipKindReader);
    return rc ? rc : Reader(zip)->GetItem(index, item);
}

uint32_t UnzipFindItem(ZipHandle* zip, const char* name, int caseFlag, int* index, ZipItem* item) {
    uint32_t rc = CheckKind(zip, kZipKindReader);
    return rc ? rc : Reader(zip)->FindItem(name, caseFlag, index, item);
}

uint32_t UnzipGetStoredName(ZipHandle* zip, int index, char* name, size_t cch) {
    uint32_t rc = CheckKind(zip, kZipKindReader);
    return rc ? rc : Reader(zip)->StoredName(index, name, cch);
}

uint32_t UnzipSetBaseDir(ZipHandle* zip, const char* folder) {
    uint32_t rc = CheckKind(zip, kZipKindReader);
    return rc ? rc : Reader(zip)->SetBaseDir(folder);
}

uint32_t UnzipItemToMemory(ZipHandle* zip, int index, void* buf, uint32_t cb) {
    uint32_t rc = CheckKind(zip, kZipKindReader);
    return rc ? rc : Reader(zip)->ItemToMemory(index, buf, cb);
}

uint32_t UnzipItemToFile(ZipHandle* zip, int index, const char* outName) {
    uint32_t rc = CheckKind(zip, kZipKindReader);
    return rc ? rc : Reader(zip)->ItemToFile(index, outName);
}

uint32_t UnzipClose(ZipHandle* zip) {
    uint32_t rc = CheckKind(zip, kZipKindReader);
    if (rc)
        return rc;
    delete Reader(zip);
    delete zip;
    return kZipOk;
}
