// Bounded, terminated text handling for ANSI paths in the system's code page.
// In code page 936 the second byte of a double-byte character can be 0x5C ('\'),
// so every search for a separator steps over whole characters.
#pragma once
#include <windows.h>
#include <cstddef>
#include <string>

// Copies src into dest (capacity destSize, terminator included). Returns false and
// leaves dest empty when src does not fit: a cut path could name something else.
bool CopyText(char* dest, size_t destSize, const char* src);

// Formats into dest; false and an empty dest when the result does not fit.
bool FormatText(char* dest, size_t destSize, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Appends src to dest; false (dest unchanged) when the result does not fit.
bool AppendText(char* dest, size_t destSize, const char* src);

// Whether ch begins a double-byte character in the system's code page, and the
// character after the one at p (p itself at the terminator), as IsDBCSLeadByte and
// CharNextA tell; from a table read once, since every byte of every path is asked.
bool IsLeadByteDbcs(char ch);
const char* NextCharDbcs(const char* p);

// First / last occurrence of a single-byte character, never matching a trail byte.
const char* FindCharDbcs(const char* text, char ch);
const char* FindLastCharDbcs(const char* text, char ch);
char* FindCharDbcs(char* text, char ch);
char* FindLastCharDbcs(char* text, char ch);

// True when text ends with a real backslash (not a trail byte).
bool EndsWithBackslash(const char* text);

// Case-insensitive comparison of the text from its last '.' with ext (e.g. ".lnk").
bool HasExtension(const char* path, const char* ext);

// The lower-case form of an ASCII letter; every other byte as it is. Never apply
// it to a trail byte: step through texts with NextCharDbcs.
char FoldAscii(char ch);

// The text with its ASCII letters folded and double-byte characters as they are:
// one spelling for the case-insensitive keys of maps.
std::string FoldedText(const char* text);

// Case-insensitive comparisons that fold ASCII letters only and compare double-byte
// characters byte for byte (a trail byte is never folded or matched on its own).
bool EqualsNoCaseDbcs(const char* a, const char* b);
// The text after prefix when text starts with it, else nullptr.
const char* SkipPrefixNoCaseDbcs(const char* text, const char* prefix);
// First occurrence of pattern in text that starts on a character boundary.
const char* FindTextNoCaseDbcs(const char* text, const char* pattern);

// The character at the given character index (0-based), or nullptr past the end.
const char* CharAtDbcs(const char* text, int index);

// The text in UTF-16, for the functions that exist only wide; empty when it cannot
// be converted.
std::wstring WideText(const char* text);
