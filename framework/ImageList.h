// CImageList: an owned image list.
#pragma once
#include "framework/Handles.h"

class CImageList : public OwnedImageList {
public:
    BOOL Create(int cx, int cy, UINT flags, int initial, int grow)
    {
        Reset(ImageList_Create(cx, cy, flags, initial, grow));
        return Get() != nullptr;
    }
    void DeleteImageList() { Reset(); }
    // Appends a copy of the icon; the caller keeps its handle. Returns the index or -1.
    int Add(HICON icon) { return Get() && icon ? ImageList_ReplaceIcon(Get(), -1, icon) : -1; }
    int GetImageCount() const { return Get() ? ImageList_GetImageCount(Get()) : 0; }
    HIMAGELIST GetSafeHandle() const { return Get(); }
};
