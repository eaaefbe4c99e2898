// A stand-in for srclient.dll: SRSetRestorePointA answers as the environment variable
// UM_FAKE_RESTORE says ("created", "disabled", anything else: busy) and notes each call
// in UM_FAKE_RESTORE_CALLS ("b" for a begin, "e" for an end, "c" for a cancel) and a
// begin's description, its bytes in hexadecimal, in UM_FAKE_RESTORE_DESCRIPTION. The
// arguments are read at the offsets srrestoreptapi.h gives them (byte-packed): event
// type 0, restore point type 4, sequence number 8, description 16 (64 bytes); the
// status's code 0 and sequence number 4.
#include <windows.h>

#include <cstring>

namespace {

const INT64 kSequence = 42;

DWORD DwordAt(const BYTE* data, size_t offset)
{
    DWORD value;
    memcpy(&value, data + offset, sizeof(value));
    return value;
}

INT64 SequenceAt(const BYTE* data, size_t offset)
{
    INT64 value;
    memcpy(&value, data + offset, sizeof(value));
    return value;
}

void Answer(BYTE* status, DWORD code, INT64 sequence)
{
    memcpy(status, &code, sizeof(code));
    memcpy(status + 4, &sequence, sizeof(sequence));
}

void NoteCall(const char* call)
{
    char calls[256] = "";
    GetEnvironmentVariableA("UM_FAKE_RESTORE_CALLS", calls, sizeof(calls));
    if (strlen(calls) + strlen(call) < sizeof(calls)) {
        strcat(calls, call);
        SetEnvironmentVariableA("UM_FAKE_RESTORE_CALLS", calls);
    }
}

void NoteDescription(const BYTE* info)
{
    char hex[2 * 64 + 1] = "";
    for (size_t i = 0; i < 64 && info[16 + i]; ++i)
        wsprintfA(hex + 2 * i, "%02X", info[16 + i]);
    SetEnvironmentVariableA("UM_FAKE_RESTORE_DESCRIPTION", hex);
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI SRSetRestorePointA(BYTE* info, BYTE* status)
{
    const DWORD event = DwordAt(info, 0), type = DwordAt(info, 4);
    if (event == 101) {
        const bool ours = SequenceAt(info, 8) == kSequence;
        NoteCall(!ours ? "?" : type == 13 ? "c" : "e");
        Answer(status, ERROR_SUCCESS, 0);
        return TRUE;
    }
    NoteCall(event == 100 && type == 1 ? "b" : "?");
    NoteDescription(info);
    char answer[32] = "";
    GetEnvironmentVariableA("UM_FAKE_RESTORE", answer, sizeof(answer));
    if (strcmp(answer, "created") == 0) {
        Answer(status, ERROR_SUCCESS, kSequence);
        return TRUE;
    }
    Answer(status, strcmp(answer, "disabled") == 0 ? ERROR_SERVICE_DISABLED : ERROR_TIMEOUT, 0);
    return FALSE;
}
