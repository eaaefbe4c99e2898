#include "TraceTestSupport.h"

#include "support/TraceCoverage.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace smarttest {

namespace {

const char kClassName[] = "UmTraceRecorder";

const char* RootName(HKEY root)
{
    if (root == HKEY_CLASSES_ROOT)
        return "HKCR";
    if (root == HKEY_CURRENT_USER)
        return "HKCU";
    if (root == HKEY_LOCAL_MACHINE)
        return "HKLM";
    return root ? "?" : "0";
}

}  // namespace

TraceRecorder::TraceRecorder()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);
    window = CreateWindowA(kClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TraceRecorder::~TraceRecorder()
{
    DestroyWindow(window);
}

LRESULT CALLBACK TraceRecorder::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<TraceRecorder*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_TRACE_NOTIFY && self) {
        self->received.push_back({wParam, reinterpret_cast<const TraceItem*>(lParam)});
        ++self->notificationCount;
        return 0;
    }
    if (message == WM_APP && self) {
        ++self->appMessages;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

std::string FileTrace(const std::string& path)
{
    return "F " + path;
}

std::string FolderTrace(const std::string& path)
{
    return "D " + path;
}

std::string KeyTrace(HKEY root, const std::string& path)
{
    return std::string("K ") + RootName(root) + " " + path;
}

std::string ValueTrace(HKEY root, const std::string& path, const std::string& name)
{
    return std::string("V ") + RootName(root) + " " + path + "|" + name;
}

std::string WeakTrace(const std::string& trace, UINT reason)
{
    return trace + " ~" + std::to_string(reason);
}

std::string Describe(const TraceItem& item)
{
    std::string text;
    switch (item.kind) {
    case TRACE_FILE:
        text = item.rootKey || item.valueName[0] ? "bad file " + std::string(item.path) : FileTrace(item.path);
        break;
    case TRACE_FOLDER:
        text = item.rootKey || item.valueName[0] ? "bad folder " + std::string(item.path) : FolderTrace(item.path);
        break;
    case TRACE_REGKEY:
        text = item.valueName[0] ? "bad key " + std::string(item.path) : KeyTrace(item.rootKey, item.path);
        break;
    case TRACE_REGVALUE:
        text = ValueTrace(item.rootKey, item.path, item.valueName);
        break;
    default:
        return "bad kind";
    }
    return item.weakReason ? WeakTrace(text, item.weakReason) : text;
}

std::vector<std::string> Traces(const CTraceAnalyzer& analyzer, const TraceRecorder& recorder)
{
    std::vector<std::string> traces;
    EXPECT_EQ(recorder.Received().size(), analyzer.GetItemCount());
    for (size_t i = 0; i < analyzer.GetItemCount(); ++i) {
        if (i < recorder.Received().size()) {
            EXPECT_EQ(TRACE_NOTIFY_CODE, recorder.Received()[i].code);
            EXPECT_EQ(analyzer.GetItem(i), recorder.Received()[i].item) << "notification " << i;
        }
        traces.push_back(Describe(*analyzer.GetItem(i)));
    }
    return traces;
}

std::vector<std::string> Analyze(CTraceAnalyzer& analyzer, const std::string& target, int* result)
{
    TraceRecorder recorder;
    int outcome = analyzer.Analyze(recorder.Window(), target.c_str());
    if (result)
        *result = outcome;
    return Traces(analyzer, recorder);
}

std::vector<std::string> OrderFaults(const std::vector<std::string>& traces)
{
    std::vector<std::string> faults;
    for (size_t i = 0; i < traces.size(); ++i) {
        std::string lower = fixtures::LowerAscii(traces[i]);
        for (size_t j = i + 1; j < traces.size(); ++j) {
            std::string later = fixtures::LowerAscii(traces[j]);
            if (later == lower)
                faults.push_back("twice: " + traces[i]);
            else if (lower[0] == 'd' && later.compare(2, lower.size() - 1, lower.substr(2) + "\\") == 0)
                faults.push_back(traces[j] + " after its folder");
        }
    }
    return faults;
}

bool WriteRawShortcut(const std::string& linkPath, const std::string& target)
{
    // The header (the shell-link class id, "has link info", shown normally), then
    // link info for a fixed drive with an empty label and the local path.
    std::string bytes;
    auto put = [&bytes](DWORD value) { bytes.append(reinterpret_cast<const char*>(&value), 4); };
    const unsigned char linkClass[16] = {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    put(0x4C);
    bytes.append(reinterpret_cast<const char*>(linkClass), 16);
    put(0x2);
    bytes.append(36, '\0');
    put(1);
    bytes.append(12, '\0');
    DWORD pathOffset = 0x1C + 17, suffixOffset = pathOffset + static_cast<DWORD>(target.size()) + 1;
    for (DWORD field : {suffixOffset + 1, DWORD(0x1C), DWORD(1), DWORD(0x1C), pathOffset, DWORD(0), suffixOffset,
                        DWORD(17), DWORD(3), DWORD(0x1234), DWORD(0x10)})
        put(field);
    bytes += std::string(1, '\0') + target + std::string(2, '\0');
    put(0);
    FILE* file = fopen(linkPath.c_str(), "wb");
    if (!file)
        return false;
    bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written;
}

}  // namespace smarttest
