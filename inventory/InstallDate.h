// The day a product was installed, as the number yyyymmdd (20240315), so that dates
// compare as numbers; 0 when it is not known.
#pragma once
#include <windows.h>

#include <string>

// Reads an "InstallDate" text: yyyymmdd, or yyyy-mm-dd and yyyy/m/d (one or two
// digits for the month and day, one separator throughout). Anything else, a day that
// is not in the calendar, or a year outside 1980..2100 gives 0.
DWORD ParseInstallDate(const char* text);

// The day of a file time (UTC) in local time; 0 outside 1980..2100.
DWORD LocalDateOf(const FILETIME& time);

// yyyy-mm-dd; empty for 0.
std::string InstallDateText(DWORD date);
