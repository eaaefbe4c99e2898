// Live GDI objects of this process, counted in a way that also works under Wine,
// where GetGuiResources is a stub that always answers 0.
#pragma once
#include <windows.h>
#include <winternl.h>

namespace fixtures {

// GetGuiResources(GR_GDIOBJECTS) where it works, else the number of used entries
// of the process's shared GDI handle table. Icons count through their bitmaps.
inline DWORD LiveGdiObjectCount()
{
    GdiFlush();
    DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (count)
        return count;
// GCC misreads the segment-relative read inside NtCurrentTeb as an array access.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
    const BYTE* peb = reinterpret_cast<const BYTE*>(NtCurrentTeb()->ProcessEnvironmentBlock);
#pragma GCC diagnostic pop
    const size_t offset = sizeof(void*) == 8 ? 0xF8 : 0x94;  // PEB.GdiSharedHandleTable
    const BYTE* table = *reinterpret_cast<const BYTE* const*>(peb + offset);
    // 0x10000 entries of 24 bytes (the same layout on Windows and Wine); a used one
    // has its object type at byte 14.
    for (int i = 0; table && i < 0x10000; ++i)
        count += table[i * 24 + 14] ? 1 : 0;
    return count;
}

}  // namespace fixtures
