#include "WatchOutput.h"

#include <ZymCharset/Utf.h>

namespace zymwin {

void WatchPrinter::Ready() {
    std::lock_guard guard(m_Lock);
    std::fputs("ready\n", m_Out);
    for (const auto& render : m_Waiting)
        std::fputs(render().c_str(), m_Out);
    m_Waiting.clear();
    m_Ready = true;
    std::fflush(m_Out);
}

void WatchPrinter::Emit(std::function<std::string()> render) {
    std::lock_guard guard(m_Lock);
    if (!m_Ready) {
        m_Waiting.push_back(std::move(render));
        return;
    }
    std::fputs(render().c_str(), m_Out);
    std::fflush(m_Out);
}

std::string WatchPrinter::NativePath(const std::string& directory,
                                     const std::u16string& eventPath) {
    // The event path is the directory as given, a backslash, then the path
    // below it, which already has the system's separators.
    const std::string path = ZymCharset::ToUtf8(eventPath);
    if (path.size() > directory.size() && path.compare(0, directory.size(), directory) == 0 &&
        path[directory.size()] == '\\')
        return directory + NativeSeparator() + path.substr(directory.size() + 1);
    return path;
}

std::string WatchPrinter::JsonString(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            quoted += "\\\"";
            break;
        case '\\':
            quoted += "\\\\";
            break;
        case '\n':
            quoted += "\\n";
            break;
        case '\t':
            quoted += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
                quoted += escaped;
            } else {
                quoted += c;
            }
        }
    }
    return quoted + '"';
}

void WatchSource::ErrorOccurred(const ZymFile::PathT<char16_t>&, long sourceId,
                                const std::u16string& message) {
    const std::string text = ZymCharset::ToUtf8(message);
    if (m_Printer.Json())
        m_Printer.Emit([=, this] {
            return "{\"id\":" + std::to_string(sourceId) +
                   ",\"kind\":\"error\",\"path\":" + WatchPrinter::JsonString(m_Directory) +
                   ",\"message\":" + WatchPrinter::JsonString(text) + "}\n";
        });
    else
        m_Printer.Emit([=, this] { return "error " + m_Directory + ": " + text + "\n"; });
}

void WatchSource::EventsOccurred(std::vector<ZymFile::DeviceEvent>& events) {
    if (events.empty()) {
        // The system lost track of this directory's changes.
        if (m_Printer.Json())
            m_Printer.Emit([this] {
                return "{\"id\":" + std::to_string(m_Id.load()) +
                       ",\"kind\":\"overflow\",\"path\":" + WatchPrinter::JsonString(m_Directory) +
                       "}\n";
            });
        else
            m_Printer.Emit([this] { return "overflow " + m_Directory + "\n"; });
        return;
    }
    static const char* const KINDS[] = {"modified", "created", "deleted"};
    std::string lines;
    for (const auto& event : events) {
        const std::string path = WatchPrinter::NativePath(m_Directory, event.path);
        const char* kind = KINDS[event.kind];
        if (m_Printer.Json())
            lines += "{\"id\":" + std::to_string(event.sourceId) + ",\"kind\":\"" + kind +
                     "\",\"path\":" + WatchPrinter::JsonString(path) + "}\n";
        else
            lines += std::string(kind) + " " + path + "\n";
    }
    m_Printer.Emit([lines = std::move(lines)] { return lines; });
}

} // namespace zymwin
