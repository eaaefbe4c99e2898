#include "backup/BatchJournal.h"

#include "backup/BackupList.h"
#include "backup/SealedText.h"
#include "framework/AnsiText.h"
#include "framework/ReadWholeFile.h"
#include "framework/RegistryTree.h"
#include "framework/RegistryView.h"
#include "inventory/UninstallEntries.h"
#include "smart/FolderPaths.h"
#include "smart/TraceItem.h"

#include <algorithm>

namespace {

const char kJournalName[] = "batch-journal.txt";
const char kHeader[] = "UninstallManager batch journal 1";
// root, key, name, publisher, install location, command, icon, main program, then the folders.
const size_t kFixedFields = 9;
const size_t kMostFolders = 16;

std::string ProductLine(const UninstallClues& clues)
{
    std::string line = "product\t" + std::string(GetRootKeyName(clues.root));
    for (const std::string* text : {&clues.keyPath, &clues.displayName, &clues.publisher, &clues.installLocation,
                                    &clues.uninstallCommand, &clues.displayIcon, &clues.mainProgram})
        line += "\t" + EscapeField(*text);
    for (const std::string& folder : clues.folders)
        line += "\t" + EscapeField(folder);
    return line;
}

// A text the entry's reader could have read: shorter than MAX_PATH, no terminator in it.
bool IsEntryText(const std::string& text)
{
    return text.size() < MAX_PATH && text.find('\0') == std::string::npos;
}

// An uninstall entry's key: one plain name directly below an Uninstall key of root.
bool IsEntryKey(HKEY root, const std::string& keyPath)
{
    for (const RegistryPlace& place : MachineAndUserPlaces(UNINSTALL_KEY_PATH)) {
        const size_t length = place.path.size();
        if (place.root != root || keyPath.size() <= length + 1 || keyPath[length] != '\\' ||
            _strnicmp(keyPath.c_str(), place.path.c_str(), length) != 0)
            continue;
        const char* name = keyPath.c_str() + length + 1;
        return !FindCharDbcs(name, '\\') && IsEntryText(keyPath);
    }
    return false;
}

bool IsWithinAny(const std::string& path, const std::vector<std::string>& folders)
{
    return std::any_of(folders.begin(), folders.end(),
                       [&](const std::string& folder) { return IsWithinFolder(path.c_str(), folder.c_str()); });
}

// A product line as ProductLine writes it, naming only an uninstall entry, full
// folder paths and a main program inside them.
bool ParseProduct(const std::vector<std::string>& fields, UninstallClues* clues)
{
    if (fields.size() < kFixedFields + 1 || fields.size() > kFixedFields + 1 + kMostFolders || fields[0] != "product")
        return false;
    clues->root = fields[1] == "HKEY_LOCAL_MACHINE" || fields[1] == "HKEY_CURRENT_USER"
                      ? GetRootKeyByName(fields[1].c_str())
                      : nullptr;
    std::string* texts[] = {&clues->keyPath,          &clues->displayName, &clues->publisher, &clues->installLocation,
                            &clues->uninstallCommand, &clues->displayIcon, &clues->mainProgram};
    size_t field = 2;
    for (std::string* text : texts) {
        if (!UnescapeField(fields[field++], text) || !IsEntryText(*text))
            return false;
    }
    for (; field < fields.size(); ++field) {
        clues->folders.emplace_back();
        if (!UnescapeField(fields[field], &clues->folders.back()) || !IsFullFilePath(clues->folders.back()))
            return false;
    }
    return clues->root && IsEntryKey(clues->root, clues->keyPath) &&
           (clues->mainProgram.empty() ||
            (IsFullFilePath(clues->mainProgram) && IsWithinAny(clues->mainProgram, clues->folders)));
}

bool ParseJournal(const std::string& text, std::vector<UninstallClues>* clues)
{
    std::vector<std::string> lines;
    unsigned long long count = 0;
    if (!UnsealText(text, &lines, &count) || lines.empty() || lines[0] != kHeader || count != lines.size() - 1 ||
        count > kMostJournalProducts)
        return false;
    for (size_t i = 1; i < lines.size(); ++i) {
        clues->emplace_back();
        if (!ParseProduct(SplitFields(lines[i]), &clues->back()))
            return false;
    }
    return true;
}

}  // namespace

CBatchJournal::CBatchJournal(const CBackupStore& store) : store(store) {}

std::string CBatchJournal::Path() const
{
    return store.Root() + "\\" + kJournalName;
}

bool CBatchJournal::Begin(const std::vector<UninstallClues>& products)
{
    planned = products;
    written.clear();
    return store.MakeStore() == FOLDER_SAFE && Write();
}

bool CBatchJournal::Add(size_t index)
{
    if (index >= planned.size())
        return false;
    if (std::find(written.begin(), written.end(), index) == written.end())
        written.push_back(index);
    return Write();
}

bool CBatchJournal::BeforeRun(size_t index, const BatchItem&)
{
    return Add(index);
}

bool CBatchJournal::Write() const
{
    if (store.Check() != FOLDER_SAFE || written.size() > kMostJournalProducts)
        return false;
    std::string text = std::string(kHeader) + "\r\n";
    for (size_t index : written)
        text += ProductLine(planned[index]) + "\r\n";
    const std::string sealed = SealText(text, written.size());
    return !sealed.empty() && sealed.size() <= kLargestJournal && WriteFileBytes(Path().c_str(), sealed);
}

JournalState CBatchJournal::ReadPending(std::vector<UninstallClues>* clues) const
{
    clues->clear();
    const std::string path = Path();
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES && IsNotFoundError(GetLastError()))
        return JOURNAL_NONE;
    std::string text;
    std::vector<UninstallClues> read;
    if (store.Check() != FOLDER_SAFE || store.Trust().CheckFile(path) != FOLDER_SAFE ||
        !ReadWholeFile(path.c_str(), kLargestJournal, &text) || !ParseJournal(text, &read))
        return JOURNAL_REFUSED;
    clues->swap(read);
    return JOURNAL_PENDING;
}

bool CBatchJournal::Finish() const
{
    const std::string path = Path();
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES && IsNotFoundError(GetLastError()))
        return true;
    // A file of the store only: through a folder link it would be another's.
    return store.Check() == FOLDER_SAFE && (DeleteFileA(path.c_str()) || IsNotFoundError(GetLastError()));
}
