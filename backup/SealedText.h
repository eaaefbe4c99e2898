// Text files the program writes for itself and reads back only whole: lines of
// tab-separated fields (a '%', tab or line break inside a field is escaped as %XX),
// ended by "end <count> <SHA-256 of every byte before it>", so that a file cut short,
// damaged or edited is refused as a whole.
#pragma once
#include <string>
#include <vector>

std::string EscapeField(const std::string& text);
// False for an escape that EscapeField never writes.
bool UnescapeField(const std::string& text, std::string* plain);
std::vector<std::string> SplitFields(const std::string& line);

// A number as upper-case hexadecimal digits, and back: only what Hex writes, within
// 64 bits, is read.
std::string Hex(unsigned long long value);
bool ParseHex(const std::string& text, unsigned long long* value);

// text (whole lines, each ending in CR LF) with its end line naming count; empty
// when the digest cannot be made.
std::string SealText(const std::string& text, unsigned long long count);
// The lines of sealed before its end line and the count it names; false when the
// end line is missing or malformed or its digest does not match.
bool UnsealText(const std::string& sealed, std::vector<std::string>* lines, unsigned long long* count);
