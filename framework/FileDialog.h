// CFileDialog: the system's file-open dialog.
#pragma once
#include <windows.h>
#include <commdlg.h>

#include <string>
#include <vector>

class CWnd;

class CFileDialog {
public:
    // filter uses '|' between description and pattern and ends with "||".
    CFileDialog(BOOL openFileDialog, const char* defaultExtension = nullptr, const char* fileName = nullptr,
                DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* filter = nullptr,
                CWnd* parent = nullptr);

    INT_PTR DoModal();
    // The chosen file; for a multiple selection, the folder of the selection.
    std::string GetPathName() const;

    OPENFILENAMEA m_ofn;

private:
    BOOL openDialog;
    std::string filterText;
    std::string extension;
    std::vector<char> fileBuffer;
};
