#include "smart/ComClassSearch.h"

#include "framework/AnsiText.h"
#include "framework/RegKey.h"

namespace {

const char kUserClasses[] = "Software\\Classes";

bool IsAsciiText(const char* text)
{
    for (; *text; ++text) {
        if (static_cast<unsigned char>(*text) >= 0x80)
            return false;
    }
    return true;
}

// The name a place goes by in the caches.
std::string PlaceKey(const RegistryPlace& place)
{
    return std::to_string(reinterpret_cast<ULONG_PTR>(place.root)) + ":" + place.path;
}

}  // namespace

CComClassSearch::CComClassSearch(CAnalysisContext& context) : context(context)
{
    // Per-user classes live apart from the machine's (Windows shows both through
    // HKEY_CLASSES_ROOT; each is listed by the key where it is stored).
    for (const std::string& path : PathsInEveryView(HKEY_CLASSES_ROOT, "CLSID"))
        clsidPlaces.push_back({HKEY_CLASSES_ROOT, path});
    clsidPlaces.push_back({HKEY_CURRENT_USER, kUserClasses + std::string("\\CLSID")});
}

void CComClassSearch::Run()
{
    if (context.NothingToMatch())
        return;
    for (const RegistryPlace& clsidPlace : clsidPlaces) {
        RegKey clsid;
        if (!clsid.Open(clsidPlace.root, clsidPlace.path.c_str()))
            continue;
        bool walked = clsid.ForEachSubkey([&](const char* name) {
            context.KeepResponsiveIfDue();
            char classKey[MAX_PATH];
            if (ServerMatchesIn(clsidPlace, name) &&
                FormatText(classKey, MAX_PATH, "%s\\%s", clsidPlace.path.c_str(), name))
                context.CollectRegistryKey(clsidPlace.root, classKey);
            return true;
        });
        if (walked)
            walkedClsidPaths.insert(PlaceKey(clsidPlace));
    }
}

bool CComClassSearch::ServerMatchesIn(const RegistryPlace& clsidPlace, const char* classId)
{
    // The CLSID walk and the file-type walk ask about the same classes; the answer
    // cannot change within one analysis, so each class is read once.
    const std::string placeKey = PlaceKey(clsidPlace);
    std::string cacheKey = placeKey + '\\' + FoldNoCase(classId);
    auto cached = serverMatches.find(cacheKey);
    if (cached != serverMatches.end())
        return cached->second;
    // A class that the whole walk of this place did not meet is not there, as far as
    // its name compares as the cache does: ASCII letters in any case.
    if (walkedClsidPaths.count(placeKey) && IsAsciiText(classId))
        return false;
    char serverKey[MAX_PATH];
    char server[MAX_PATH] = "";
    bool matches = false;
    if (FormatText(serverKey, MAX_PATH, "%s\\%s\\InprocServer32", clsidPlace.path.c_str(), classId) &&
        ReadTextValue(clsidPlace.root, serverKey, "", server, MAX_PATH))
        matches = context.NamesProgram(server);
    serverMatches[cacheKey] = matches;
    return matches;
}

// A file type of either view, or the user's, may name a class that only one place registers.
bool CComClassSearch::ServerMatches(const char* classId)
{
    for (const RegistryPlace& clsidPlace : clsidPlaces) {
        if (ServerMatchesIn(clsidPlace, classId))
            return true;
    }
    return false;
}

void CComClassSearch::CollectClass(const char* classId)
{
    char classKey[MAX_PATH];
    for (const RegistryPlace& clsidPlace : clsidPlaces) {
        if (ServerMatchesIn(clsidPlace, classId) &&
            FormatText(classKey, MAX_PATH, "%s\\%s", clsidPlace.path.c_str(), classId))
            context.CollectRegistryKey(clsidPlace.root, classKey);
    }
}
