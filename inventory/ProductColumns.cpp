#include "inventory/ProductColumns.h"

#include "framework/AnsiText.h"
#include "inventory/InstallDate.h"

#include <cstdio>

namespace {

const ULONGLONG KB = 1024, MB = KB * 1024, GB = MB * 1024;

int Sign(long long value)
{
    return value < 0 ? -1 : value > 0 ? 1 : 0;
}

// Missing values come last; 2 when neither is missing (compare them).
int CompareMissing(bool aMissing, bool bMissing)
{
    if (aMissing || bMissing)
        return aMissing == bMissing ? 0 : aMissing ? 1 : -1;
    return 2;
}

int CompareText(const char* a, const char* b)
{
    const int missing = CompareMissing(!*a, !*b);
    if (missing != 2)
        return missing;
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, -1, b, -1) - CSTR_EQUAL;
}

bool IsDigit(char ch)
{
    return ch >= '0' && ch <= '9';
}

// The run of digits or of other characters at text; its end.
const char* RunEnd(const char* text)
{
    const bool digits = IsDigit(*text);
    const char* at = text;
    while (*at && IsDigit(*at) == digits)
        at = NextCharDbcs(at);
    return at;
}

// Two runs of digits by their value, whatever their length.
int CompareNumbers(const char* a, const char* aEnd, const char* b, const char* bEnd)
{
    while (a < aEnd - 1 && *a == '0')
        ++a;
    while (b < bEnd - 1 && *b == '0')
        ++b;
    if (aEnd - a != bEnd - b)
        return Sign((aEnd - a) - (bEnd - b));
    for (; a < aEnd; ++a, ++b) {
        if (*a != *b)
            return Sign(*a - *b);
    }
    return 0;
}

// "1.10" after "1.9": runs of digits by value, the others as texts.
int CompareVersions(const char* a, const char* b)
{
    const int missing = CompareMissing(!*a, !*b);
    if (missing != 2)
        return missing;
    while (*a && *b) {
        const char* aEnd = RunEnd(a);
        const char* bEnd = RunEnd(b);
        int order = 0;
        if (IsDigit(*a) && IsDigit(*b))
            order = CompareNumbers(a, aEnd, b, bEnd);
        else
            order = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, static_cast<int>(aEnd - a), b,
                                   static_cast<int>(bEnd - b)) - CSTR_EQUAL;
        if (order)
            return order;
        a = aEnd;
        b = bEnd;
    }
    return Sign(static_cast<int>(*a != 0) - static_cast<int>(*b != 0));
}

int CompareSizes(const InstalledSoftwareEntry& a, const InstalledSoftwareEntry& b)
{
    ULONGLONG aBytes = 0, bBytes = 0;
    const int missing = CompareMissing(!ProductSize(a, &aBytes), !ProductSize(b, &bBytes));
    if (missing != 2)
        return missing;
    return aBytes < bBytes ? -1 : aBytes > bBytes ? 1 : 0;
}

int CompareDates(DWORD a, DWORD b)
{
    const int missing = CompareMissing(a == 0, b == 0);
    if (missing != 2)
        return missing;
    return a < b ? -1 : a > b ? 1 : 0;
}

}  // namespace

bool ProductSize(const InstalledSoftwareEntry& entry, ULONGLONG* bytes)
{
    if (entry.hasEstimatedSize) {
        *bytes = ULONGLONG(entry.estimatedSizeKb) * KB;
        return true;
    }
    if (!entry.sizeMeasured)
        return false;
    *bytes = entry.measuredBytes;
    return true;
}

std::string SizeText(ULONGLONG bytes)
{
    char text[32];
    if (bytes < MB)
        snprintf(text, sizeof(text), "%u KB", static_cast<unsigned>((bytes + KB - 1) / KB));
    else if (bytes < GB)
        snprintf(text, sizeof(text), "%.1f MB", static_cast<double>(bytes) / MB);
    else
        snprintf(text, sizeof(text), "%.2f GB", static_cast<double>(bytes) / GB);
    return text;
}

std::string ProductColumnText(const InstalledSoftwareEntry& entry, int column)
{
    ULONGLONG bytes = 0;
    switch (column) {
    case COLUMN_NAME:
        return entry.displayName;
    case COLUMN_COMMAND:
        return entry.uninstallString;
    case COLUMN_PUBLISHER:
        return entry.publisher;
    case COLUMN_VERSION:
        return entry.version;
    case COLUMN_SIZE:
        return ProductSize(entry, &bytes) ? SizeText(bytes) : std::string();
    case COLUMN_INSTALL_DATE:
        return InstallDateText(entry.installDate);
    case COLUMN_SOURCE:
        return UninstallViewName(entry.view);
    default:
        return std::string();
    }
}

int CompareProducts(const InstalledSoftwareEntry& a, const InstalledSoftwareEntry& b, int column)
{
    switch (column) {
    case COLUMN_COMMAND:
        return CompareText(a.uninstallString, b.uninstallString);
    case COLUMN_PUBLISHER:
        return CompareText(a.publisher, b.publisher);
    case COLUMN_VERSION:
        return CompareVersions(a.version, b.version);
    case COLUMN_SIZE:
        return CompareSizes(a, b);
    case COLUMN_INSTALL_DATE:
        return CompareDates(a.installDate, b.installDate);
    case COLUMN_SOURCE:
        return Sign(static_cast<int>(a.view) - static_cast<int>(b.view));
    default:
        return CompareText(a.displayName, b.displayName);
    }
}

bool ProductMatches(const InstalledSoftwareEntry& entry, const char* text)
{
    return !*text || FindTextNoCaseDbcs(entry.displayName, text) || FindTextNoCaseDbcs(entry.publisher, text) ||
           FindTextNoCaseDbcs(UninstallKeyName(entry.keyPath), text);
}
