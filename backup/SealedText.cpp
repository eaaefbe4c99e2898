#include "backup/SealedText.h"

#include "backup/Sha256.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

std::string EscapeField(const std::string& text)
{
    std::string escaped;
    // None of these bytes is ever the second byte of a double-byte character.
    for (char ch : text) {
        if (ch == '%' || ch == '\t' || ch == '\r' || ch == '\n') {
            char code[4];
            snprintf(code, sizeof(code), "%%%02X", static_cast<unsigned char>(ch));
            escaped += code;
        } else {
            escaped += ch;
        }
    }
    return escaped;
}

bool UnescapeField(const std::string& text, std::string* plain)
{
    plain->clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            *plain += text[i];
            continue;
        }
        if (i + 2 >= text.size() || !isxdigit(static_cast<unsigned char>(text[i + 1])) ||
            !isxdigit(static_cast<unsigned char>(text[i + 2])))
            return false;
        *plain += static_cast<char>(strtoul(text.substr(i + 1, 2).c_str(), nullptr, 16));
        i += 2;
    }
    return true;
}

std::vector<std::string> SplitFields(const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

std::string Hex(unsigned long long value)
{
    char text[20];
    snprintf(text, sizeof(text), "%llX", value);
    return text;
}

bool ParseHex(const std::string& text, unsigned long long* value)
{
    if (text.empty() || text.size() > 16 || text.find_first_not_of("0123456789ABCDEF") != std::string::npos)
        return false;
    *value = strtoull(text.c_str(), nullptr, 16);
    return true;
}

std::string SealText(const std::string& text, unsigned long long count)
{
    const std::string sum = Sha256Hex(text);
    return sum.empty() ? std::string() : text + "end\t" + Hex(count) + "\t" + sum + "\r\n";
}

bool UnsealText(const std::string& sealed, std::vector<std::string>* lines, unsigned long long* count)
{
    lines->clear();
    const size_t endLine = sealed.rfind("end\t");
    if (endLine == std::string::npos || sealed.size() < 2 || sealed.compare(sealed.size() - 2, 2, "\r\n") != 0 ||
        (endLine > 0 && sealed.compare(endLine - 2, 2, "\r\n") != 0))
        return false;
    const std::vector<std::string> end = SplitFields(sealed.substr(endLine, sealed.size() - 2 - endLine));
    if (end.size() != 3 || !ParseHex(end[1], count) || !IsSha256Hex(end[2]) ||
        end[2] != Sha256Hex(sealed.substr(0, endLine)))
        return false;
    for (size_t start = 0; start < endLine;) {
        const size_t lineEnd = sealed.find("\r\n", start);
        lines->push_back(sealed.substr(start, lineEnd - start));
        start = lineEnd + 2;
    }
    return true;
}
