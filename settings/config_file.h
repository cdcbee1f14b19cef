// CConfigFile: a program's options as key=value entries inside a
// password-protected zip archive in a data folder. One object serves one
// direction: in save mode every typed accessor appends an entry; in load
// mode the same accessor, called with the same arguments in the same order,
// finds its entry and converts it back, so one exchange routine lists the
// options once and runs both ways.
//
// Text: entries of key, "=", value and the three bytes 00 0D 0A; values are
// at most 1039 characters. Archive: one entry named with the format version
// in decimal, holding the text.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "base/dyn_array.h"
#include "base/str_util.h"

class CConfigFile {
  public:
    // version != 0: save mode, writing that version; 0: load mode. The
    // prefix (e.g. "gOpt.") is the part of every key text the store drops.
    CConfigFile(int version, const char* keyPrefix);

    // Loads the archive at the settings record path of the name the format
    // gives (with the index and the folder flag). Returns the text's size;
    // -1 the archive cannot be opened, is not one, has another password or
    // the name does not fit; -2 no first entry; -3 no memory; -4 the entry
    // cannot be read. The version becomes the entry name's value.
    int LoadArchive(const char* nameFormat, int index, int flag, ...) __attribute__((format(STR_PRINTF_FORMAT, 2, 5)));
    // Stores the text as the archive: written to "<path>_tmp", which then
    // replaces the archive, so a failed save leaves the old one. Returns the
    // text's size; -1 the archive cannot be created or cannot replace the
    // old one, or the name does not fit; -2 the entry cannot be stored.
    int SaveArchive(const char* nameFormat, int index, int flag, ...) __attribute__((format(STR_PRINTF_FORMAT, 2, 5)));

    // The typed accessors. The key text (e.g. "&gOpt.Colors[i]") loses the
    // prefix and a leading '&'; each "[" followed by a letter takes the next
    // of the indices a, b, c in decimal in place of its letters, so
    // Colors[i] with a = 3 is the key Colors[3]. Save mode returns 0 (-1
    // when the entry could not be appended). Load mode returns 0, or -1
    // when the key is absent (the value stays untouched); Hex and Rect
    // return 1 when the text does not parse (the value, or its fields
    // after the last parsed one, stay untouched). A key longer than 259
    // characters gives -1 in both modes.
    int Int(int32_t* value, const char* key, int a = 0, int b = 0, int c = 0);
    int Hex(uint32_t* value, const char* key, int a = 0, int b = 0, int c = 0);
    int Float(float* value, const char* key, int a = 0, int b = 0, int c = 0);
    // ltrb: left, top, right, bottom.
    int Rect(int32_t* ltrb, const char* key, int a = 0, int b = 0, int c = 0);
    template <class R>
    int Rect(R* rc, const char* key, int a = 0, int b = 0, int c = 0) {
        int32_t v[4] = {(int32_t)rc->left, (int32_t)rc->top, (int32_t)rc->right, (int32_t)rc->bottom};
        int rcode = Rect(v, key, a, b, c);
        rc->left = v[0];
        rc->top = v[1];
        rc->right = v[2];
        rc->bottom = v[3];
        return rcode;
    }
    // Saves at most 1039 characters; loads cut to cch.
    int String(char* buf, size_t cch, const char* key, int a = 0, int b = 0, int c = 0);
    // Two upper-case hexadecimal digits per byte (at most 519 bytes are
    // saved); on load, bytes beyond the stored digits become 0.
    int Bytes(void* block, size_t cb, const char* key, int a = 0, int b = 0, int c = 0);

    // Appends key=value (key as stored). False when memory ran out.
    bool Write(const char* key, const char* value);
    // Finds the entry of this key (as stored) from where the previous
    // lookup ended, then from the start; 0 when found (the value is kept for
    // the typed loads), -1 when it is absent.
    int Read(const char* key);

    int Version() const { return version_; }
    bool SaveMode() const { return saveMode_; }
    const char* TextData() const { return text_.Data(); }
    int TextSize() const { return text_.count; }

  private:
    bool FormatKey(const char* keyText, int a, int b, int c);
    // Load mode: formats the key and reads its value. Save mode: formats
    // the key only. 0, or -1 (absent key, over-long key).
    int Begin(const char* keyText, int a, int b, int c);
    int Store();

    int version_;
    bool saveMode_;
    int lastMatch_ = 0;
    int prefixLength_;
    CDynArray<char> text_;
    char value_[kCchText2];
    char key_[kCchPath];
};
