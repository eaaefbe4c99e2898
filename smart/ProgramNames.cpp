#include "smart/ProgramNames.h"

#include "framework/AnsiText.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace {

// Names that say what a key or folder is for, not whose it is.
const wchar_t* const kGenericNames[] = {
    L"update", L"updates", L"updater", L"common", L"commonfiles", L"shared", L"setup", L"install",
    L"installer", L"uninstall", L"uninstaller", L"uninst", L"unins", L"program", L"programs",
    L"programfiles", L"app", L"apps", L"application", L"applications", L"bin", L"microsoft", L"windows",
    L"classes", L"policies", L"software", L"system", L"data", L"default", L"tools", L"tool", L"utilities",
    L"plugins", L"plugin", L"addins", L"addons", L"temp", L"tmp", L"cache", L"config", L"settings", L"user",
    L"users", L"local", L"roaming", L"locallow", L"documents", L"packages", L"launcher", L"client",
    L"clients", L"service", L"services", L"runtime", L"driver", L"drivers", L"help", L"lib", L"library",
    L"resources", L"wow6432node", L"main", L"logs", L"crashdumps", L"components", L"appdata",
    L"更新", L"公共", L"共享", L"程序", L"软件", L"工具", L"安装", L"卸载", L"设置", L"数据", L"应用", L"插件",
};

// Words of a company's legal form, and words that only say it is a company.
const wchar_t* const kLegalWords[] = {
    L"ltd", L"limited", L"inc", L"incorporated", L"co", L"company", L"corp", L"corporation", L"gmbh",
    L"llc", L"llp", L"plc", L"ag", L"sa", L"bv", L"pty", L"srl", L"kk", L"oy", L"ab",
};
const wchar_t* const kCompanyWords[] = {
    L"software", L"softwares", L"technologies", L"technology", L"tech", L"systems", L"solutions",
    L"group", L"holdings", L"international", L"labs", L"studio", L"studios",
};
const wchar_t* const kLegalSuffixes[] = {L"股份有限公司", L"有限责任公司", L"有限公司", L"公司"};
const wchar_t* const kCompanySuffixes[] = {L"集团", L"软件", L"科技", L"技术", L"网络", L"信息", L"工作室", L"开发"};

const size_t kShortestKey = 3;

std::string ToCodePage(const wchar_t* text)
{
    char buffer[64];
    int length = WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof(buffer), nullptr, nullptr);
    return length > 0 ? std::string(buffer) : std::string();
}

template <size_t N>
std::vector<std::string> Converted(const wchar_t* const (&words)[N])
{
    std::vector<std::string> converted;
    for (const wchar_t* word : words)
        converted.push_back(ToCodePage(word));
    return converted;
}

// The word lists in the system's code page, converted once.
const std::vector<std::string>& GenericNames()
{
    static const std::vector<std::string> list = Converted(kGenericNames);
    return list;
}

const std::vector<std::string>& LegalWords()
{
    static const std::vector<std::string> list = Converted(kLegalWords);
    return list;
}

const std::vector<std::string>& LegalSuffixes()
{
    static const std::vector<std::string> list = Converted(kLegalSuffixes);
    return list;
}

// Legal words and the words that only say it is a company, endings alike.
const std::vector<std::string>& CompanyWords()
{
    static const std::vector<std::string> list = [] {
        std::vector<std::string> words = Converted(kLegalWords), more = Converted(kCompanyWords);
        words.insert(words.end(), more.begin(), more.end());
        return words;
    }();
    return list;
}

const std::vector<std::string>& CompanySuffixes()
{
    static const std::vector<std::string> list = [] {
        std::vector<std::string> suffixes = Converted(kLegalSuffixes), more = Converted(kCompanySuffixes);
        suffixes.insert(suffixes.end(), more.begin(), more.end());
        return suffixes;
    }();
    return list;
}

bool Contains(const std::vector<std::string>& list, const std::string& text)
{
    return std::find(list.begin(), list.end(), text) != list.end();
}

bool IsAsciiLetter(char ch)
{
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
}

bool IsAsciiDigit(char ch)
{
    return ch >= '0' && ch <= '9';
}

// The characters of a text, each as the offset where it starts: a trail byte is
// never looked at as a character of its own.
std::vector<size_t> CharStarts(const std::string& text)
{
    std::vector<size_t> starts;
    const char* begin = text.c_str();
    for (const char* p = begin; *p; p = NextCharDbcs(p))
        starts.push_back(static_cast<size_t>(p - begin));
    return starts;
}

// The single-byte character at a start, or 0 for a double-byte one.
char SingleAt(const std::string& text, size_t start)
{
    return IsLeadByteDbcs(text[start]) ? '\0' : text[start];
}

// Drops a trailing "(x64)" or "[beta]", then a trailing version ("2", "2.5",
// "v3", " - 2010") when something is left before it.
std::string WithoutVersion(const std::string& name)
{
    std::string text = name;
    for (int round = 0; round < 2; ++round) {
        std::vector<size_t> starts = CharStarts(text);
        size_t end = starts.size();
        while (end > 0 && SingleAt(text, starts[end - 1]) == ' ')
            --end;
        if (end > 0 && (SingleAt(text, starts[end - 1]) == ')' || SingleAt(text, starts[end - 1]) == ']')) {
            const char open = SingleAt(text, starts[end - 1]) == ')' ? '(' : '[';
            size_t at = end - 1;
            while (at > 0 && SingleAt(text, starts[at - 1]) != open)
                --at;
            if (at > 1)
                end = at - 1;
        }
        size_t versionStart = end;
        bool digit = false;
        while (versionStart > 0 && (IsAsciiDigit(SingleAt(text, starts[versionStart - 1])) ||
                                    SingleAt(text, starts[versionStart - 1]) == '.')) {
            digit = digit || IsAsciiDigit(SingleAt(text, starts[versionStart - 1]));
            --versionStart;
        }
        if (digit && versionStart > 0) {
            const char before = SingleAt(text, starts[versionStart - 1]);
            if ((before == 'v' || before == 'V') &&
                (versionStart == 1 || !IsAsciiLetter(SingleAt(text, starts[versionStart - 2]))))
                --versionStart;
            end = versionStart;
        }
        while (end > 0 && strchr(" -_", SingleAt(text, starts[end - 1])) && SingleAt(text, starts[end - 1]))
            --end;
        if (end == 0)
            return text;
        text.resize(end < starts.size() ? starts[end] : text.size());
    }
    return text;
}

// ASCII letters folded, blanks and ASCII punctuation dropped, the rest kept whole.
std::string Folded(const std::string& text)
{
    std::string folded;
    for (const char* p = text.c_str(); *p; p = NextCharDbcs(p)) {
        if (IsLeadByteDbcs(*p) && p[1]) {
            folded.append(p, 2);
            continue;
        }
        const unsigned char ch = static_cast<unsigned char>(*p);
        if (IsAsciiLetter(*p) || IsAsciiDigit(*p) || ch >= 0x80)
            folded += FoldAscii(*p);
    }
    return folded;
}

bool IsAllDigits(const std::string& key)
{
    return std::all_of(key.begin(), key.end(), IsAsciiDigit);
}

// The words of a text, split at blanks and commas.
std::vector<std::string> Words(const char* text)
{
    std::vector<std::string> words;
    std::string word;
    for (const char* p = text; *p; p = NextCharDbcs(p)) {
        const bool separator = !IsLeadByteDbcs(*p) && (*p == ' ' || *p == '\t' || *p == ',');
        if (separator) {
            if (!word.empty())
                words.push_back(word);
            word.clear();
            continue;
        }
        word.append(p, IsLeadByteDbcs(*p) && p[1] ? 2 : 1);
    }
    if (!word.empty())
        words.push_back(word);
    return words;
}

// Drops the given endings from a word, as often as they occur, on character boundaries.
std::string WithoutSuffixes(std::string word, const std::vector<std::string>& suffixes)
{
    for (bool dropped = true; dropped;) {
        dropped = false;
        for (size_t start : CharStarts(word)) {
            if (start > 0 && Contains(suffixes, word.substr(start))) {
                word.resize(start);
                dropped = true;
                break;
            }
        }
    }
    return word;
}

// The publisher without the words of the given lists (never all of its words).
std::string WithoutWords(const std::vector<std::string>& words, const std::vector<std::string>& dropped,
                         const std::vector<std::string>& suffixes)
{
    std::string kept;
    for (const std::string& word : words) {
        std::string trimmed = WithoutSuffixes(word, suffixes);
        if (!Contains(dropped, Folded(trimmed)) && !Contains(suffixes, trimmed))
            kept += trimmed + " ";
    }
    return kept;
}

size_t LetterCount(const std::string& word)
{
    size_t letters = 0;
    for (const char* p = word.c_str(); *p; p = NextCharDbcs(p))
        letters += IsLeadByteDbcs(*p) || IsAsciiLetter(*p);
    return letters;
}

}  // namespace

std::string NameKey(const char* name)
{
    if (!name)
        return std::string();
    std::string key = Folded(WithoutVersion(name));
    if (key.size() < kShortestKey || IsAllDigits(key) || Contains(GenericNames(), key))
        return std::string();
    return key;
}

std::vector<std::string> VendorKeysOfPublisher(const char* publisher)
{
    std::vector<std::string> keys;
    if (!publisher)
        return keys;
    auto add = [&keys](const std::string& name) {
        std::string key = NameKey(name.c_str());
        if (!key.empty() && !Contains(keys, key))
            keys.push_back(key);
    };
    add(publisher);
    const std::vector<std::string> words = Words(publisher);
    add(WithoutWords(words, LegalWords(), LegalSuffixes()));
    add(WithoutWords(words, CompanyWords(), CompanySuffixes()));
    if (!words.empty() && LetterCount(words[0]) >= 4)
        add(words[0]);
    return keys;
}

void ProgramNames::Clear()
{
    products.clear();
    vendors.clear();
    productSpellings.clear();
}

void ProgramNames::AddKey(std::vector<std::string>* keys, const std::string& key)
{
    if (!key.empty() && !Contains(*keys, key))
        keys->push_back(key);
}

void ProgramNames::AddProduct(const char* name)
{
    std::string key = NameKey(name);
    if (key.empty())
        return;
    AddKey(&products, key);
    if (!FindCharDbcs(name, '\\') && !Contains(productSpellings, name))
        productSpellings.push_back(name);
}

void ProgramNames::AddProgramFile(const char* path)
{
    if (!path)
        return;
    const char* slash = FindLastCharDbcs(path, '\\');
    std::string base = slash ? slash + 1 : path;
    const char* dot = FindLastCharDbcs(base.c_str(), '.');
    if (dot)
        base.resize(static_cast<size_t>(dot - base.c_str()));
    AddProduct(base.c_str());
}

void ProgramNames::AddVendor(const char* name)
{
    AddKey(&vendors, NameKey(name));
}

void ProgramNames::AddPublisher(const char* publisher)
{
    for (const std::string& key : VendorKeysOfPublisher(publisher))
        AddKey(&vendors, key);
}

bool ProgramNames::IsProduct(const char* name) const
{
    std::string key = NameKey(name);
    return !key.empty() && Contains(products, key);
}

bool ProgramNames::IsVendor(const char* name) const
{
    std::string key = NameKey(name);
    return !key.empty() && Contains(vendors, key);
}
