#include "ui/Picture.h"

#include <cstring>
#include <utility>

#include "framework/WinApp.h"
#include "framework/Wnd.h"

namespace {

// The main window owns the error boxes; without one they have no owner.
HWND ErrorBoxOwner()
{
    CWnd* main = AfxGetMainWnd();
    return main && main->IsWindow() ? main->m_hWnd : nullptr;
}

void ShowPictureError(const char* text)
{
    MessageBoxExA(ErrorBoxOwner(), text, "CPicture Error", MB_ICONERROR, LANG_ENGLISH);
}

// A movable global block holding a copy of the bytes, or null.
HGLOBAL CopyToGlobal(const void* bytes, DWORD byteCount)
{
    OwnedGlobal block(GlobalAlloc(GMEM_MOVEABLE, byteCount));
    void* data = block ? GlobalLock(block) : nullptr;
    if (!data)
        return nullptr;
    std::memcpy(data, bytes, byteCount);
    GlobalUnlock(block);
    return block.Release();
}

}  // namespace

BOOL CPicture::LoadFromResource(UINT resourceId, const char* resourceType)
{
    ReleasePicture();
    HMODULE module = AfxGetResourceHandle();
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(LOWORD(resourceId)), resourceType);
    if (!found) {
        ShowPictureError("FindResource() Failed\t");
        return FALSE;
    }
    HGLOBAL loaded = LoadResource(module, found);
    if (!loaded) {
        ShowPictureError("LoadResource() Failed\t");
        return FALSE;
    }
    const void* bytes = LockResource(loaded);
    if (!bytes) {
        ShowPictureError("LockResource() Failed\t");
        return FALSE;
    }
    const BOOL handedOver = LoadFromMemory(bytes, SizeofResource(module, found));
    return (picture && handedOver) ? TRUE : FALSE;
}

BOOL CPicture::LoadFromMemory(const void* bytes, DWORD byteCount)
{
    // A picture held from before would be lost when the new one is stored.
    ReleasePicture();
    if (!bytes || byteCount == 0)
        return FALSE;
    OwnedGlobal block(CopyToGlobal(bytes, byteCount));
    if (!block) {
        ShowPictureError("Can not allocate enough memory\t");
        return FALSE;
    }
    OwnedInterface<IStream> stream;
    if (CreateStreamOnHGlobal(block, TRUE, stream.Out()) != S_OK)
        return FALSE;
    block.Release();  // the stream frees it
    OwnedInterface<IPicture> loaded;
    const HRESULT result = OleLoadPicture(stream, static_cast<LONG>(byteCount), FALSE, IID_IPicture,
                                          reinterpret_cast<void**>(loaded.Out()));
    if (result == E_NOINTERFACE) {
        ShowPictureError("IPicture interface is not supported\t");
        return FALSE;
    }
    if (SUCCEEDED(result))
        picture = std::move(loaded);
    return TRUE;
}

BOOL CPicture::Draw(HDC dc, RECT rectangle)
{
    if (!dc || !picture)
        return FALSE;
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    const HRESULT result =
        picture->Render(dc, rectangle.left, rectangle.top, rectangle.right - rectangle.left,
                        rectangle.bottom - rectangle.top, 0, height, width, -height, &rectangle);
    if (FAILED(result)) {
        ShowPictureError("Can not allocate enough memory\t");
        return FALSE;
    }
    return TRUE;
}
