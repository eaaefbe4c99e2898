// Owned handles: one template over the handle type and the function that releases
// it, so a registry key, a search, a file, a GDI object, an icon, a module, a COM
// interface or a global block is released on every path in the same way.
#pragma once
#include <windows.h>
#include <commctrl.h>

template <typename T, void (*Close)(T), LONG_PTR EmptyValue = 0>
class Owned {
public:
    Owned() = default;
    explicit Owned(T handle) : handle(handle) {}
    ~Owned() { Reset(); }
    Owned(Owned&& other) noexcept : handle(other.Release()) {}
    Owned& operator=(Owned&& other) noexcept
    {
        Reset(other.Release());
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    static T Empty() { return reinterpret_cast<T>(EmptyValue); }
    T Get() const { return handle; }
    operator T() const { return handle; }
    T operator->() const { return handle; }
    explicit operator bool() const { return handle != Empty(); }
    // Releases what is held and takes replacement.
    void Reset(T replacement = Empty())
    {
        if (handle != Empty())
            Close(handle);
        handle = replacement;
    }
    // Gives the handle up without releasing it.
    T Release()
    {
        T given = handle;
        handle = Empty();
        return given;
    }
    // For functions that return a new handle through a pointer.
    T* Out()
    {
        Reset();
        return &handle;
    }

private:
    T handle = Empty();
};

namespace handles {

inline void CloseKey(HKEY key) { RegCloseKey(key); }
inline void CloseFind(HANDLE find) { FindClose(find); }
inline void CloseKernel(HANDLE object) { CloseHandle(object); }
template <typename G>
void DeleteGdi(G object) { DeleteObject(object); }
inline void DestroyIconHandle(HICON icon) { DestroyIcon(icon); }
inline void DestroyImages(HIMAGELIST list) { ImageList_Destroy(list); }
inline void FreeLibraryHandle(HMODULE module) { FreeLibrary(module); }
inline void FreeGlobal(HGLOBAL block) { GlobalFree(block); }
inline void DestroyMenuHandle(HMENU menu) { DestroyMenu(menu); }
template <typename I>
void ReleaseInterface(I* pointer) { pointer->Release(); }

}  // namespace handles

using OwnedKey = Owned<HKEY, handles::CloseKey>;
// FindFirstFileA and CreateFileA fail with INVALID_HANDLE_VALUE, not null.
using OwnedFind = Owned<HANDLE, handles::CloseFind, -1>;
using OwnedFile = Owned<HANDLE, handles::CloseKernel, -1>;
// Processes, threads and other kernel objects: null when there is none.
using OwnedKernel = Owned<HANDLE, handles::CloseKernel>;
template <typename G>
using OwnedGdi = Owned<G, handles::DeleteGdi<G>>;
using OwnedIcon = Owned<HICON, handles::DestroyIconHandle>;
using OwnedImageList = Owned<HIMAGELIST, handles::DestroyImages>;
using OwnedModule = Owned<HMODULE, handles::FreeLibraryHandle>;
using OwnedGlobal = Owned<HGLOBAL, handles::FreeGlobal>;
using OwnedMenu = Owned<HMENU, handles::DestroyMenuHandle>;
template <typename I>
using OwnedInterface = Owned<I*, handles::ReleaseInterface<I>>;
