#include "inventory/InstallDate.h"

#include "framework/AnsiText.h"

namespace {

const DWORD kFirstYear = 1980;
const DWORD kLastYear = 2100;

bool IsDigit(char ch)
{
    return ch >= '0' && ch <= '9';
}

// Reads between minDigits and maxDigits digits at *p and moves *p past them.
bool ReadDigits(const char** p, int minDigits, int maxDigits, DWORD* number)
{
    int count = 0;
    *number = 0;
    while (count < maxDigits && IsDigit(**p)) {
        *number = *number * 10 + static_cast<DWORD>(**p - '0');
        ++*p;
        ++count;
    }
    return count >= minDigits && !IsDigit(**p);
}

DWORD DaysInMonth(DWORD year, DWORD month)
{
    static const DWORD kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

DWORD DateNumber(DWORD year, DWORD month, DWORD day)
{
    if (year < kFirstYear || year > kLastYear || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month))
        return 0;
    return year * 10000 + month * 100 + day;
}

// yyyy, then the separator, m or mm, the separator, d or dd, and the end.
DWORD ParseSeparated(const char* text)
{
    const char* p = text;
    DWORD year = 0, month = 0, day = 0;
    if (!ReadDigits(&p, 4, 4, &year) || (*p != '-' && *p != '/'))
        return 0;
    const char separator = *p++;
    if (!ReadDigits(&p, 1, 2, &month) || *p++ != separator || !ReadDigits(&p, 1, 2, &day) || *p)
        return 0;
    return DateNumber(year, month, day);
}

}  // namespace

DWORD ParseInstallDate(const char* text)
{
    if (!text)
        return 0;
    const char* p = text;
    DWORD number = 0;
    if (ReadDigits(&p, 8, 8, &number) && !*p)
        return DateNumber(number / 10000, number / 100 % 100, number % 100);
    return ParseSeparated(text);
}

DWORD LocalDateOf(const FILETIME& time)
{
    // The bias of today rather than of that day: an hour off across a change of
    // daylight saving time at most, which a day's number rarely shows.
    FILETIME local;
    SYSTEMTIME day;
    if (!FileTimeToLocalFileTime(&time, &local) || !FileTimeToSystemTime(&local, &day))
        return 0;
    return DateNumber(day.wYear, day.wMonth, day.wDay);
}

std::string InstallDateText(DWORD date)
{
    char text[16];
    if (!date || !FormatText(text, sizeof(text), "%04lu-%02lu-%02lu", date / 10000, date / 100 % 100, date % 100))
        return std::string();
    return text;
}
