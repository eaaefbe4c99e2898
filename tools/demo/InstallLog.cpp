#include "InstallLog.h"

#include "machine/Files.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace demo {

namespace {

const char NAME[] = "name=";
const char KEY[] = "key=";
const char FILE_ENTRY[] = "file=";
const char FOLDER_ENTRY[] = "folder=";
const char RELAUNCH[] = "relaunch=";
const char LINGER[] = "linger=";
const char EXIT_CODE[] = "exit=";
const int MAX_LINGER_MS = 60000;  // a damaged line never keeps the uninstaller longer

bool StartsWith(const std::string& line, const char* prefix, std::string* rest)
{
    size_t length = strlen(prefix);
    if (line.compare(0, length, prefix) != 0)
        return false;
    *rest = line.substr(length);
    return true;
}

void ParseLine(const std::string& line, InstallLog* log)
{
    std::string rest;
    if (StartsWith(line, NAME, &rest))
        log->displayName = rest;
    else if (StartsWith(line, KEY, &rest))
        log->uninstallKey = rest;
    else if (StartsWith(line, FILE_ENTRY, &rest))
        log->files.push_back(rest);
    else if (StartsWith(line, FOLDER_ENTRY, &rest))
        log->folders.push_back(rest);
    else if (StartsWith(line, RELAUNCH, &rest))
        log->relaunch = rest == "1";
    else if (StartsWith(line, LINGER, &rest))
        log->lingerMs = std::min(std::max(atoi(rest.c_str()), 0), MAX_LINGER_MS);
    else if (StartsWith(line, EXIT_CODE, &rest))
        log->exitCode = atoi(rest.c_str());
}

}  // namespace

bool WriteInstallLog(const std::string& path, const InstallLog& log)
{
    std::string text = NAME + log.displayName + "\r\n" + KEY + log.uninstallKey + "\r\n";
    if (log.relaunch)
        text += std::string(RELAUNCH) + "1\r\n";
    if (log.lingerMs > 0)
        text += LINGER + std::to_string(log.lingerMs) + "\r\n";
    if (log.exitCode)
        text += EXIT_CODE + std::to_string(log.exitCode) + "\r\n";
    for (const std::string& folder : log.folders)
        text += FOLDER_ENTRY + folder + "\r\n";
    for (const std::string& file : log.files)
        text += FILE_ENTRY + file + "\r\n";
    return machine::WriteFileText(path, text);
}

bool ReadInstallLog(const std::string& path, InstallLog* log)
{
    std::string text;
    if (!machine::ReadFileText(path, &text))
        return false;
    *log = InstallLog();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        ParseLine(line, log);
        start = end + 1;
    }
    return !log->uninstallKey.empty();
}

}  // namespace demo
