#include "ui/TraceDescriptions.h"

#include "framework/AnsiText.h"
#include "framework/WinApp.h"
#include "resource.h"

#include <shellapi.h>

#include <cstring>

namespace {

// The string that says why a trace is only weak evidence.
UINT WeakReasonText(WeakReason reason)
{
    switch (reason) {
    case WEAK_OTHER_SETTINGS:
        return IDS_WEAK_OTHER_SETTINGS;
    case WEAK_OUTSIDE_FOLDER:
        return IDS_WEAK_OUTSIDE_FOLDER;
    case WEAK_UNADDRESSABLE:
        return IDS_WEAK_UNADDRESSABLE;
    default:
        return 0;
    }
}

}  // namespace

std::string CTraceDescriptions::Describe(const TraceItem& trace)
{
    std::string description;
    if (trace.kind == TRACE_FILE || trace.kind == TRACE_FOLDER)
        description = FileTypeName(trace.path, trace.kind == TRACE_FOLDER);
    else if (trace.kind == TRACE_REGKEY || trace.kind == TRACE_REGVALUE)
        description = LoadStringText(trace.kind == TRACE_REGKEY ? IDS_REGKEY : IDS_REGVALUE);
    if (trace.weakReason != WEAK_NONE)
        description += LoadStringText(IDS_WEAK_SEPARATOR) + LoadStringText(WeakReasonText(trace.weakReason));
    return description;
}

std::string CTraceDescriptions::FileTypeName(const char* path, bool isFolder)
{
    // A file's type name follows from its extension, and asking the shell costs
    // about 1.5 ms: each extension is asked about once per analysis (the exact
    // text, so the answer is the one the shell gives for the first such file).
    std::string extension;
    if (!isFolder) {
        const char* backslash = FindLastCharDbcs(path, '\\');
        const char* name = backslash ? backslash + 1 : path;
        const char* dot = strrchr(name, '.');
        if (dot && dot[1])
            extension = dot;
    }
    if (!extension.empty()) {
        auto cached = typeNames.find(extension);
        if (cached != typeNames.end())
            return cached->second;
    }
    SHFILEINFOA info = {};
    if (!SHGetFileInfoA(path, 0, &info, sizeof(info), SHGFI_TYPENAME))
        return std::string();
    if (!extension.empty())
        typeNames[extension] = info.szTypeName;
    return info.szTypeName;
}
