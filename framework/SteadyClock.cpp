#include "framework/SteadyClock.h"

#include <windows.h>

double SteadySeconds()
{
    LARGE_INTEGER count, frequency;
    if (!QueryPerformanceCounter(&count) || !QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0)
        return GetTickCount() / 1000.0;
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}
