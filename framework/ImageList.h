// CImageList: an owned image list.
#pragma once
#include <windows.h>
#include <commctrl.h>

class CImageList {
public:
    CImageList() = default;
    virtual ~CImageList() { DeleteImageList(); }
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
    BOOL DeleteImageList();
    // Appends a copy of the icon; the caller keeps its handle. Returns the index or -1.
    int Add(HICON icon);
    int GetImageCount() const { return list ? ImageList_GetImageCount(list) : 0; }
    HIMAGELIST GetSafeHandle() const { return list; }
    operator HIMAGELIST() const { return list; }

private:
    HIMAGELIST list = nullptr;
};
