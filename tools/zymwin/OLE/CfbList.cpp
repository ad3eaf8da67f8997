#include "CfbCommands.h"
#include "CfbDocument.h"
#include "CfbText.h"

#include <cstdio>

namespace zymwin::cfb {

namespace {

std::string JoinEscaped(const std::vector<std::u16string>& path) {
    std::string joined;
    for (const auto& name : path) {
        if (!joined.empty())
            joined += '/';
        joined += EscapeName(name);
    }
    return joined;
}

std::string JsonPath(const std::vector<std::u16string>& path) {
    std::string json = "[";
    for (const auto& name : path) {
        if (json.size() > 1)
            json += ", ";
        json += JsonString(name);
    }
    return json + "]";
}

} // namespace

int List(const std::string& file, bool json) {
    Document document(file);
    bool first = true;
    if (json)
        std::fputs("[", stdout);
    Walk(document.Root(), [&](const WalkEntry& entry) {
        const char* kind = entry.isStorage ? "storage" : "stream";
        if (json) {
            std::printf("%s\n  {\"path\": %s, \"id\": %lu, \"type\": \"%s\", \"size\": %lu}",
                        first ? "" : ",", JsonPath(entry.path).c_str(), entry.item.ID, kind,
                        entry.item.Size);
        } else {
            std::printf("%-7s %6lu %10lu  %s\n", kind, entry.item.ID, entry.item.Size,
                        JoinEscaped(entry.path).c_str());
        }
        first = false;
    });
    if (json)
        std::fputs(first ? "]\n" : "\n]\n", stdout);
    return 0;
}

} // namespace zymwin::cfb
