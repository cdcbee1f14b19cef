// The header and footer templates of printing: "%" and one letter stand
// for the clipboard text, computer and user name, date, time, the image's
// name and a running number. Platform-neutral: the caller gathers the
// values (header_tokens.cpp on Windows).
#pragma once
#include <stddef.h>

// The values of one expansion; null texts read as "".
struct TokenValues {
    const char* clipboard;  // %B
    const char* computer;   // %C
    const char* date;       // %D
    const char* time;       // %T
    const char* user;       // %U
    const char* imageName;  // %P (full name); %F its file-name part; %p, %f without extension
    int* nextN;             // %N: formatted "%04d" (or "%0<digit>d" for a digit 1..9 after N), then + 1
};

// Writes the expanded template into out (cch characters, cleared first,
// always terminated); each replacement is cut to the space left. A '%'
// before any other character drops both; a '%' that ends the template ends
// the expansion.
void ExpandTemplate(const char* tpl, const TokenValues& values, char* out, size_t cch);
