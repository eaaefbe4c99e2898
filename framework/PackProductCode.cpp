#include "framework/PackProductCode.h"

#include <cstring>

namespace {

const size_t kCodeLength = 38;  // {8-4-4-4-12}

bool IsHexDigit(char ch)
{
    return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
}

char UpperHex(char ch)
{
    return ch >= 'a' && ch <= 'f' ? static_cast<char>(ch - 'a' + 'A') : ch;
}

// Appends the digits code[first, first + count) in reverse order.
void AppendReversed(const char* code, size_t first, size_t count, std::string* packed)
{
    for (size_t i = first + count; i > first; --i)
        packed->push_back(UpperHex(code[i - 1]));
}

}  // namespace

bool IsProductCode(const char* text)
{
    if (!text || strlen(text) != kCodeLength || text[0] != '{' || text[kCodeLength - 1] != '}')
        return false;
    for (size_t i = 1; i < kCodeLength - 1; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? text[i] != '-' : !IsHexDigit(text[i]))
            return false;
    }
    return true;
}

std::string PackProductCode(const char* code)
{
    if (!IsProductCode(code))
        return std::string();
    std::string packed;
    AppendReversed(code, 1, 8, &packed);
    AppendReversed(code, 10, 4, &packed);
    AppendReversed(code, 15, 4, &packed);
    // The last two groups byte by byte: 20-23, then 25-36.
    for (size_t i = 20; i < kCodeLength - 1; i += 2) {
        if (code[i] == '-')
            ++i;
        AppendReversed(code, i, 2, &packed);
    }
    return packed;
}
