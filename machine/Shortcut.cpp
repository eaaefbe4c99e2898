#include "machine/Shortcut.h"

#include "framework/Handles.h"
#include "machine/Files.h"
#include "machine/Text.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

namespace machine {

namespace {

bool Save(IShellLinkA* link, const std::string& linkPath)
{
    OwnedInterface<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Out()))))
        return false;
    std::vector<wchar_t> wide(linkPath.size() + 1);
    if (MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide.data(), static_cast<int>(wide.size())) <= 0)
        return false;
    return SUCCEEDED(file->Save(wide.data(), TRUE));
}

// A plain link when description is null.
bool MakeLink(const std::string& linkPath, const std::string& target, const std::string& arguments,
              const std::string* description)
{
    size_t slash = LastBackslash(linkPath);
    if (slash == std::string::npos || !MakeDirs(linkPath.substr(0, slash)))
        return false;
    OwnedInterface<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(link.Out()))))
        return false;
    link->SetPath(target.c_str());
    // A setup program stores its (empty) arguments too; Wine keeps an empty entry.
    if (!arguments.empty() || description)
        link->SetArguments(arguments.c_str());
    if (description) {
        link->SetDescription(description->c_str());
        link->SetWorkingDirectory(ParentFolder(target).c_str());
        link->SetIconLocation(target.c_str(), 0);
    }
    return Save(link.Get(), linkPath);
}

}  // namespace

bool MakeShortcut(const std::string& linkPath, const std::string& target, const std::string& arguments)
{
    return MakeLink(linkPath, target, arguments, nullptr);
}

bool MakeAppShortcut(const std::string& linkPath, const std::string& target, const std::string& description)
{
    return MakeLink(linkPath, target, std::string(), &description);
}

}  // namespace machine
