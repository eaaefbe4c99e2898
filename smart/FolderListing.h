// The entries of one folder, in listing order, each with its full path.
#pragma once
#include "framework/AnsiText.h"
#include "framework/Handles.h"

#include <windows.h>

#include <cstring>

// The entries of one folder that match a pattern, in listing order, each with its
// full path. Names that begin with '.' (with WITH_DOT_NAMES only "." and "..") and
// children whose path does not fit are skipped. A name that the code page cannot
// spell comes back with '?': such an entry goes by its short name, or, without one,
// is not addressable at all. The search handle is closed by Close or the destructor.
class FolderListing {
public:
    enum DotNames { SKIP_DOT_NAMES, WITH_DOT_NAMES };

    FolderListing(const char* folder, const char* pattern, DotNames dotNames = SKIP_DOT_NAMES)
        : folder(folder), withDotNames(dotNames == WITH_DOT_NAMES)
    {
        char search[MAX_PATH];
        if (FormatText(search, MAX_PATH, "%s\\%s", folder, pattern))
            find.Reset(FindFirstFileA(search, &data));
        pending = static_cast<bool>(find);
    }
    bool IsOpen() const { return static_cast<bool>(find); }
    // Moves to the next entry; false at the end.
    bool Next()
    {
        while (pending || (find && FindNextFileA(find, &data))) {
            pending = false;
            name = data.cFileName;
            addressable = !strchr(name, '?');
            if (!addressable && data.cAlternateFileName[0] && !strchr(data.cAlternateFileName, '?')) {
                name = data.cAlternateFileName;
                addressable = true;
            }
            if (IsListedName() && FormatText(path, MAX_PATH, "%s\\%s", folder, name))
                return true;
        }
        return false;
    }
    const char* Path() const { return path; }
    const char* Name() const { return name; }
    // False when the path holds a '?' in place of a character: it names nothing.
    bool IsAddressable() const { return addressable; }
    bool IsFolder() const { return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    bool IsLink() const { return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
    ULONGLONG Size() const { return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow; }
    void Close() { find.Reset(); }

private:
    bool IsListedName() const
    {
        return name[0] != '.' || (withDotNames && strcmp(name, ".") != 0 && strcmp(name, "..") != 0);
    }

    const char* folder;
    bool withDotNames;
    OwnedFind find;
    WIN32_FIND_DATAA data;
    const char* name = "";
    char path[MAX_PATH];
    bool addressable = true;
    bool pending = false;
};
