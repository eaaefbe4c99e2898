// An uninstaller for the batch tests. It notes its start and end, with its file name
// and the arguments it was given, in "<its own path>.log" and in the file the
// environment variable UM_BATCH_LOG names; "/window:<ms>" shows a window that long,
// "/sleep:<ms>" waits, "/exit:<code>" is its exit code, "/busy:<n>" makes it exit with
// 1618 (another installation runs) in its first n runs. Unknown switches are noted
// and otherwise ignored.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string OwnPath()
{
    char path[MAX_PATH] = "";
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? path : "";
}

void NoteIn(const std::string& log, const std::string& line)
{
    HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const std::string text = line + "\r\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

void Note(const std::string& line)
{
    NoteIn(OwnPath() + ".log", line);
    char shared[MAX_PATH] = "";
    const DWORD length = GetEnvironmentVariableA("UM_BATCH_LOG", shared, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        NoteIn(shared, line);
}

// How many runs this copy noted before.
int EarlierRuns()
{
    int runs = 0;
    HANDLE file = CreateFileA((OwnPath() + ".log").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    char text[4096];
    DWORD read = 0;
    if (ReadFile(file, text, sizeof(text) - 1, &read, nullptr)) {
        text[read] = '\0';
        for (const char* p = strstr(text, "start "); p; p = strstr(p + 1, "start "))
            ++runs;
    }
    CloseHandle(file);
    return runs;
}

// The number after "/name:" in the command line, or fallback.
unsigned long Option(const char* commandLine, const char* name, unsigned long fallback)
{
    const char* found = strstr(commandLine, name);
    return found ? strtoul(found + strlen(name), nullptr, 10) : fallback;
}

void ShowWindowFor(DWORD ms)
{
    HWND window = CreateWindowExA(0, "STATIC", "BatchChild", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    const DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < ms) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Sleep(10);
    }
    DestroyWindow(window);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    const std::string own = OwnPath();
    const char* backslash = strrchr(own.c_str(), '\\');
    const std::string name = backslash ? backslash + 1 : "?";
    const bool busy = EarlierRuns() < static_cast<int>(Option(commandLine, "/busy:", 0));
    Note("start " + name + " " + commandLine);
    if (const unsigned long ms = Option(commandLine, "/window:", 0))
        ShowWindowFor(ms);
    Sleep(Option(commandLine, "/sleep:", 0));
    Note("end " + name);
    return busy ? ERROR_INSTALL_ALREADY_RUNNING : static_cast<int>(Option(commandLine, "/exit:", 0));
}
