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
    // Replaces image index with a copy of the icon; false when either is missing.
    bool Replace(int index, HICON icon)
    {
        return Get() && icon && index >= 0 && ImageList_ReplaceIcon(Get(), index, icon) == index;
    }
    // Appends count copies of the icon, each its own image: copying within the list
    // costs far less than converting the icon count times.
    bool AddCopies(HICON icon, int count)
    {
        const int first = count > 0 ? Add(icon) : -1;
        if (first < 0 || !ImageList_SetImageCount(Get(), static_cast<UINT>(first + count)))
            return false;
        for (int i = 1; i < count; ++i)
            ImageList_Copy(Get(), first + i, Get(), first, ILCF_MOVE);
        return true;
    }
    int GetImageCount() const { return Get() ? ImageList_GetImageCount(Get()) : 0; }
    HIMAGELIST GetSafeHandle() const { return Get(); }
};
