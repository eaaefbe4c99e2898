// Handles of the machine helpers, closed with their owner on every path.
#pragma once
#include <windows.h>

namespace machine {

template <typename H, auto Close>
class Handle {
public:
    explicit Handle(H handle = nullptr) : handle(handle) {}
    ~Handle()
    {
        if (Valid())
            Close(handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    bool Valid() const { return handle && handle != reinterpret_cast<H>(INVALID_HANDLE_VALUE); }
    H Get() const { return handle; }
    // For functions that hand out a new handle; the object must be empty.
    H* Receive() { return &handle; }

private:
    H handle;
};

using KeyHandle = Handle<HKEY, RegCloseKey>;
using FindHandle = Handle<HANDLE, FindClose>;
using KernelHandle = Handle<HANDLE, CloseHandle>;

}  // namespace machine
