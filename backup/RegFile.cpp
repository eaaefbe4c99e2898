#include "backup/RegFile.h"

#include "backup/KeyWithoutLinks.h"
#include "backup/RegFileParser.h"
#include "framework/Handles.h"
#include "framework/ReadWholeFile.h"
#include "framework/RegKey.h"
#include "framework/RegistryView.h"

namespace {

// A backup larger than this is not one the writer made.
const ULONGLONG kLargestFile = 256ULL * 1024 * 1024;
const REGSAM kImportAccess = KEY_QUERY_VALUE | KEY_SET_VALUE;

// Opens the key to restore into, making what is missing on the way. A key on the
// way that is now a registry link refuses it: writing through it would change the
// keys it points to.
bool OpenForImport(const RegFileKey& key, OwnedKey* opened)
{
    return !key.path.empty() && OpenKeyWithoutLinks(key.root, key.path, kImportAccess, opened);
}

void ImportKey(const RegFileKey& key, RegImportTally* tally)
{
    OwnedKey opened;
    if (!OpenForImport(key, &opened)) {
        tally->failed += 1 + static_cast<int>(key.values.size());
        return;
    }
    for (const RegFileValue& value : key.values) {
        if (RegQueryValueExW(opened, value.name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
            ++tally->present;
            continue;
        }
        // The API counts a terminator the data left out when one follows it in memory;
        // a guard after the data keeps an unterminated text as it was saved.
        std::vector<BYTE> guarded(value.data);
        guarded.resize(guarded.size() + sizeof(wchar_t), 0xFF);
        LONG status = RegSetValueExW(opened, value.name.c_str(), 0, value.type, guarded.data(),
                                     static_cast<DWORD>(value.data.size()));
        if (status == ERROR_SUCCESS)
            ++tally->written;
        else
            ++tally->failed;
    }
}

}  // namespace

bool CRegFile::Read(const char* file, std::string* reason)
{
    keys.clear();
    std::string text;
    if (!ReadWholeFile(file, kLargestFile, &text)) {
        if (reason)
            *reason = "the file cannot be read";
        return false;
    }
    return Parse(text, reason);
}

bool CRegFile::Parse(const std::string& text, std::string* reason)
{
    RegFileParser parser;
    return parser.Parse(text, &keys, reason);
}

RegImportTally CRegFile::Import() const
{
    RegImportTally tally;
    for (const RegFileKey& key : keys)
        ImportKey(key, &tally);
    return tally;
}
