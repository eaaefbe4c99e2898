#include "inventory/RestorePoint.h"

#include "framework/AnsiText.h"

#include <cstring>

namespace {

// srclient.dll's structures and codes (srrestoreptapi.h), packed as it declares them.
#pragma pack(push, 1)
struct RestorePointInfo {
    DWORD eventType;
    DWORD restorePointType;
    INT64 sequenceNumber;
    char description[64];
};
struct ManagerStatus {
    DWORD status;
    INT64 sequenceNumber;
};
#pragma pack(pop)

const DWORD kBeginSystemChange = 100;
const DWORD kEndSystemChange = 101;
const DWORD kApplicationUninstall = 1;
const DWORD kCancelledOperation = 13;

typedef BOOL(WINAPI* SetRestorePointFunction)(RestorePointInfo*, ManagerStatus*);

SetRestorePointFunction SetRestorePointIn(HMODULE library)
{
    FARPROC proc = library ? GetProcAddress(library, "SRSetRestorePointA") : nullptr;
    return reinterpret_cast<SetRestorePointFunction>(reinterpret_cast<void (*)()>(proc));
}

// System Restore answers "off" with ERROR_SERVICE_DISABLED; a system that has the
// library but no restore (Wine) answers failure with no error at all.
bool IsUnavailable(DWORD status)
{
    return status == ERROR_SERVICE_DISABLED || status == ERROR_SUCCESS || status == ERROR_CALL_NOT_IMPLEMENTED;
}

// Copies as much of text as fits size bytes with its terminator, never half a
// double-byte character.
void CopyWholeCharacters(const char* text, char* buffer, size_t size)
{
    size_t used = 0;
    for (const char* p = text ? text : ""; *p;) {
        const char* next = NextCharDbcs(p);
        const size_t length = static_cast<size_t>(next - p);
        if (used + length >= size)
            break;
        memcpy(buffer + used, p, length);
        used += length;
        p = next;
    }
    buffer[used] = '\0';
}

}  // namespace

CRestorePoint::CRestorePoint(const std::string& libraryFolder)
{
    char folder[MAX_PATH] = "";
    if (libraryFolder.empty()) {
        const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return;
    } else if (!CopyText(folder, MAX_PATH, libraryFolder.c_str())) {
        return;
    }
    char path[MAX_PATH];
    if (FormatText(path, MAX_PATH, "%s\\srclient.dll", folder))
        library.Reset(LoadLibraryA(path));
}

CRestorePoint::~CRestorePoint()
{
    End();
}

RestorePointResult CRestorePoint::Begin(const char* description)
{
    const SetRestorePointFunction setRestorePoint = SetRestorePointIn(library);
    if (!setRestorePoint || begun)
        return begun ? RESTORE_POINT_CREATED : RESTORE_POINT_UNAVAILABLE;
    RestorePointInfo info = {};
    info.eventType = kBeginSystemChange;
    info.restorePointType = kApplicationUninstall;
    CopyWholeCharacters(description, info.description, sizeof(info.description));
    ManagerStatus status = {};
    if (!setRestorePoint(&info, &status))
        return IsUnavailable(status.status) ? RESTORE_POINT_UNAVAILABLE : RESTORE_POINT_REFUSED;
    begun = true;
    sequence = status.sequenceNumber;
    return RESTORE_POINT_CREATED;
}

void CRestorePoint::End(bool cancel)
{
    const SetRestorePointFunction setRestorePoint = SetRestorePointIn(library);
    if (!begun || !setRestorePoint)
        return;
    begun = false;
    RestorePointInfo info = {};
    info.eventType = kEndSystemChange;
    info.restorePointType = cancel ? kCancelledOperation : kApplicationUninstall;
    info.sequenceNumber = sequence;
    ManagerStatus status = {};
    setRestorePoint(&info, &status);
}
