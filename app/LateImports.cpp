// Imports that Windows XP's system DLLs do not export, bound at run time.
//
// The C++ runtime's threading library imports GetTickCount64 (Vista and later), and
// an exe with an import its system cannot satisfy does not start at all. Defining
// the import's pointer here keeps the linker from taking it from kernel32's import
// library: the runtime calls this function instead, which uses the system's export
// when there is one and counts on from GetTickCount where there is not.
#include <windows.h>

#if defined(__i386__)
namespace {

typedef ULONGLONG(WINAPI* TickCountFunction)();

// Plain variables, not function-local statics: a guarded static would call back
// into the threading library that calls this function.
TickCountFunction g_systemTickCount = nullptr;
bool g_lookedUp = false;
DWORD g_lastTick = 0;
DWORD g_wraps = 0;

ULONGLONG WINAPI TickCount64()
{
    if (!g_lookedUp) {
        HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
        if (kernel)
            g_systemTickCount = reinterpret_cast<TickCountFunction>(
                reinterpret_cast<void*>(::GetProcAddress(kernel, "GetTickCount64")));
        g_lookedUp = true;
    }
    if (g_systemTickCount)
        return g_systemTickCount();
    // The 32-bit count wraps after 49.7 days; count the wraps seen.
    DWORD now = ::GetTickCount();
    if (now < g_lastTick)
        ++g_wraps;
    g_lastTick = now;
    return (static_cast<ULONGLONG>(g_wraps) << 32) | now;
}

}  // namespace

extern "C" TickCountFunction g_importedTickCount64 __asm__("__imp__GetTickCount64@0");
TickCountFunction g_importedTickCount64 = TickCount64;
#endif
