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

// Opens path as itself for reading when it is a plain file, and measures it.
bool OpenPlainFile(const char* path, OwnedFile* file, ULONGLONG* size)
{
    if (!path)
        return false;
    file->Reset(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    return *file && PlainFileSize(*file, size);
}

}  // namespace

bool ReadWholeFile(const char* path, ULONGLONG cap, std::string* bytes)
{
    bytes->clear();
    OwnedFile file;
    ULONGLONG size = 0;
    // One read takes at most a DWORD's worth.
    if (!OpenPlainFile(path, &file, &size) || size > cap || size > MAXDWORD)
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

bool ReadFileStart(const char* path, DWORD cap, std::string* bytes)
{
    bytes->clear();
    OwnedFile file;
    ULONGLONG size = 0;
    if (!OpenPlainFile(path, &file, &size))
        return false;
    const DWORD wanted = size < cap ? static_cast<DWORD>(size) : cap;
    bytes->resize(wanted);
    DWORD read = 0;
    if (wanted && !ReadFile(file, &(*bytes)[0], wanted, &read, nullptr)) {
        bytes->clear();
        return false;
    }
    bytes->resize(read);
    return true;
}
