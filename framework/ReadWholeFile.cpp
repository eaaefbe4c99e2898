#include "framework/ReadWholeFile.h"

#include "framework/Handles.h"

namespace {

// The size of a plain file opened as itself; false for a folder or a link.
bool PlainFileSize(HANDLE file, ULONGLONG* size)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return false;
    *size = (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return true;
}

}  // namespace

bool ReadWholeFile(const char* path, ULONGLONG cap, std::string* bytes)
{
    bytes->clear();
    if (!path)
        return false;
    OwnedFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    ULONGLONG size = 0;
    // One read takes at most a DWORD's worth.
    if (!file || !PlainFileSize(file, &size) || size > cap || size > MAXDWORD)
        return false;
    bytes->resize(static_cast<size_t>(size));
    DWORD read = 0;
    if (size && (!ReadFile(file, &(*bytes)[0], static_cast<DWORD>(size), &read, nullptr) || read != size)) {
        bytes->clear();
        return false;
    }
    // A byte more means it grew while it was read: not the file that was measured.
    char more = 0;
    if (ReadFile(file, &more, 1, &read, nullptr) && read == 0)
        return true;
    bytes->clear();
    return false;
}
