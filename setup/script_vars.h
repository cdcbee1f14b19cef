// Script variables: names written with a '#' at each end and text values,
// kept in the order of first definition. Every command argument, dialog and
// message text passes through SubstituteVars.
#pragma once
#include <stddef.h>

constexpr size_t kCchVarName = 32;    // names hold at most 31 characters
constexpr size_t kCchVarValue = 520;  // values hold at most 519 characters
// Substitution stops expanding inside text that was itself inserted this
// many levels deep (a value holding its own name would expand forever).
constexpr int kMaxSubstituteDepth = 16;

// Defines or overwrites a variable (name and value cut to their sizes).
// The index of the entry, or -1 when the table cannot grow.
int SetVar(const char* name, const char* value);
// -1 when undefined; else the index, and the value copied into buf (cch
// characters, cut when longer; buf may be null to test only).
int GetVar(const char* name, char* buf, size_t cch);
// The value, or "" when undefined. Valid until the variable is set again.
const char* GetVarText(const char* name);
// -1 when undefined; else the value's leading number truncated towards zero
// (0 when it has none; clamped to the int range).
int GetVarInt(const char* name);
// Replaces the variables of text in place; text holds cch characters and is
// cut at its end when the values do not fit. False when it was cut.
bool SubstituteVars(char* text, size_t cch);
// Removes every variable.
void ClearVariables();

// The leading decimal number of a text (optional sign, digits, fraction),
// 0 when there is none. Blanks before it are skipped.
double LeadingNumber(const char* text);
