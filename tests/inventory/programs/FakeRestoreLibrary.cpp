// A stand-in for srclient.dll: SRSetRestorePointA answers as the environment variable
// UM_FAKE_RESTORE says ("created", "disabled", anything else: busy) and notes each call
// in UM_FAKE_RESTORE_CALLS ("b" for a begin, "e" for an end, "c" for a cancel) and a
// begin's description, its bytes in hexadecimal, in UM_FAKE_RESTORE_DESCRIPTION.
#include <windows.h>

#include <cstring>

namespace {

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

void NoteCall(const char* call)
{
    char calls[256] = "";
    GetEnvironmentVariableA("UM_FAKE_RESTORE_CALLS", calls, sizeof(calls));
    if (strlen(calls) + strlen(call) < sizeof(calls)) {
        strcat(calls, call);
        SetEnvironmentVariableA("UM_FAKE_RESTORE_CALLS", calls);
    }
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI SRSetRestorePointA(RestorePointInfo* info, ManagerStatus* status)
{
    char answer[32] = "";
    GetEnvironmentVariableA("UM_FAKE_RESTORE", answer, sizeof(answer));
    if (info->eventType == 101) {
        NoteCall(info->restorePointType == 13 && info->sequenceNumber == 42 ? "c" : info->sequenceNumber == 42 ? "e" : "?");
        status->status = ERROR_SUCCESS;
        return TRUE;
    }
    NoteCall(info->eventType == 100 && info->restorePointType == 1 ? "b" : "?");
    char hex[2 * sizeof(info->description) + 1] = "";
    for (size_t i = 0; i < sizeof(info->description) && info->description[i]; ++i)
        wsprintfA(hex + 2 * i, "%02X", static_cast<unsigned char>(info->description[i]));
    SetEnvironmentVariableA("UM_FAKE_RESTORE_DESCRIPTION", hex);
    if (strcmp(answer, "created") == 0) {
        status->status = ERROR_SUCCESS;
        status->sequenceNumber = 42;
        return TRUE;
    }
    status->status = strcmp(answer, "disabled") == 0 ? ERROR_SERVICE_DISABLED : ERROR_TIMEOUT;
    return FALSE;
}
