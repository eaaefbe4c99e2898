#include "framework/FileDialog.h"

#include "framework/AnsiText.h"
#include "framework/Wnd.h"

namespace {

const size_t kResultCapacity = 64 * 1024;

}  // namespace

CFileDialog::CFileDialog(BOOL openFileDialog, const char* defaultExtension, const char* fileName, DWORD flags,
                         const char* filter, CWnd* parent)
    : m_ofn(), openDialog(openFileDialog), fileBuffer(kResultCapacity, '\0')
{
    if (filter) {
        filterText = filter;
        for (char& ch : filterText) {
            if (ch == '|')
                ch = '\0';
        }
    }
    if (defaultExtension)
        extension = defaultExtension;
    if (fileName)
        CopyText(fileBuffer.data(), fileBuffer.size(), fileName);
    m_ofn.lStructSize = sizeof(m_ofn);
    m_ofn.hwndOwner = parent ? parent->m_hWnd : nullptr;
    m_ofn.lpstrFilter = filterText.empty() ? nullptr : filterText.c_str();
    m_ofn.lpstrFile = fileBuffer.data();
    m_ofn.nMaxFile = static_cast<DWORD>(fileBuffer.size());
    m_ofn.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    m_ofn.Flags = flags | OFN_EXPLORER | OFN_ENABLESIZING;
}

INT_PTR CFileDialog::DoModal()
{
    BOOL ok = openDialog ? GetOpenFileNameA(&m_ofn) : GetSaveFileNameA(&m_ofn);
    return ok ? IDOK : IDCANCEL;
}

std::string CFileDialog::GetPathName() const
{
    // The result starts with the chosen path; after a multiple selection that first
    // string is the selection's folder, followed by the names.
    return m_ofn.lpstrFile ? std::string(m_ofn.lpstrFile) : std::string();
}
