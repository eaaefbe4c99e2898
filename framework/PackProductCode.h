// Windows Installer's product codes, {12345678-90AB-CDEF-1234-567890ABCDEF}, and the
// packed form its registry keys are named by.
#pragma once
#include <string>

// True when text is exactly a product code: a GUID in braces, hex digits of either case.
bool IsProductCode(const char* text);

// The 32 upper-case hex digits the Installer's keys (Classes\Installer\Products\...)
// are named by: the first three groups reversed, then each later byte with its two
// digits swapped. Empty when code is no product code.
std::string PackProductCode(const char* code);
