#include "smart/FolderSizes.h"

#include "framework/AnsiText.h"

std::string CFolderSizes::Key(const std::string& folder)
{
    std::string key = FoldedText(folder.c_str());
    while (EndsWithBackslash(key.c_str()))
        key.pop_back();
    return key;
}

bool CFolderSizes::Known(const std::string& folder, ULONGLONG* bytes) const
{
    const auto found = done.find(Key(folder));
    if (found == done.end() || !found->second.measured)
        return false;
    *bytes = found->second.bytes;
    return true;
}

bool CFolderSizes::Wanted(const std::string& folder) const
{
    return !folder.empty() && done.find(Key(folder)) == done.end();
}

bool CFolderSizes::Measure(const std::string& folder, double budget)
{
    const std::string key = Key(folder);
    if (key.empty() || done.count(key))
        return true;
    if (key != measuring) {
        if (!screen.MayMeasure(folder.c_str())) {
            done[key] = Size{false, 0};
            return true;
        }
        measuring = key;
        meter.Start(folder.c_str());
    }
    if (!meter.Step(budget))
        return false;
    done[key] = Size{true, meter.Bytes()};
    measuring.clear();
    return true;
}
