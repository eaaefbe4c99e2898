#include "support/GdiCount.h"

#include <winternl.h>

namespace fixtures {

namespace {

// One entry of the shared GDI handle table (the same layout on Windows and Wine).
struct GdiHandleEntry {
    UINT64 object;
    ULONG owner;
    USHORT unique;
    UCHAR type;
    UCHAR flags;
    UINT64 userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24, "shared GDI handle entry layout");

const int GDI_HANDLE_COUNT = 0x10000;

// GCC misreads the segment-relative read inside NtCurrentTeb as an array access.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
const BYTE* ProcessEnvironmentBlock()
{
    return reinterpret_cast<const BYTE*>(NtCurrentTeb()->ProcessEnvironmentBlock);
}
#pragma GCC diagnostic pop

const GdiHandleEntry* SharedHandleTable()
{
    const BYTE* peb = ProcessEnvironmentBlock();
    const size_t offset = sizeof(void*) == 8 ? 0xF8 : 0x94;  // PEB.GdiSharedHandleTable
    return *reinterpret_cast<const GdiHandleEntry* const*>(peb + offset);
}

}  // namespace

DWORD LiveGdiObjectCount()
{
    GdiFlush();
    const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (reported)
        return reported;
    const GdiHandleEntry* table = SharedHandleTable();
    if (!table)
        return 0;
    DWORD count = 0;
    for (int i = 0; i < GDI_HANDLE_COUNT; ++i)
        count += table[i].type ? 1 : 0;
    return count;
}

}  // namespace fixtures
