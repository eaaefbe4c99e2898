// Measures how promptly this thread answers messages: a thread posts a message to a
// window of this thread whenever the last one was handled, and the longest time from
// posting to handling is the longest stretch in which this thread (and every window
// it runs) answered nothing.
#pragma once
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>

#include "framework/Handles.h"
#include "framework/Wnd.h"

namespace fixtures {

class ResponsivenessProbe : public CWnd {
public:
    ResponsivenessProbe()
    {
        CreateEx(0, nullptr, "", WS_OVERLAPPED, RECT{0, 0, 10, 10}, nullptr, 0);
        thread.Reset(CreateThread(nullptr, 0, Poster, this, 0, nullptr));
    }
    ~ResponsivenessProbe() override { Stop(); }
    // Stops posting and answers the longest stretch in milliseconds; a message still
    // waiting counts up to now. Nothing may be dispatched after this.
    double Stop()
    {
        running = false;
        if (thread)
            WaitForSingleObject(thread, INFINITE);
        thread.Reset();
        Note();
        return longestUs / 1000.0;
    }
    // How many probe messages were handled.
    long Handled() const { return handled; }

private:
    static long long NowUs()
    {
        using namespace std::chrono;
        return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
    }
    void Note() { longestUs = pending ? std::max(longestUs, NowUs() - postedAt.load()) : longestUs; }
    static DWORD WINAPI Poster(void* parameter)
    {
        for (auto* self = static_cast<ResponsivenessProbe*>(parameter); self->running; Sleep(1)) {
            if (!self->pending) {
                self->postedAt = NowUs();
                self->pending = true;
                PostMessageA(self->m_hWnd, WM_APP, 0, 0);
            }
        }
        return 0;
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg != WM_APP)
            return CWnd::WindowProc(msg, wParam, lParam);
        Note();
        ++handled;
        pending = false;
        return 0;
    }

    OwnedKernel thread;
    std::atomic<bool> running{true}, pending{false};
    std::atomic<long long> postedAt{0};
    long long longestUs = 0;
    long handled = 0;
};

}  // namespace fixtures
