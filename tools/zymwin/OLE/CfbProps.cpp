#include "CfbCommands.h"
#include "CfbDocument.h"
#include "CfbText.h"

#include <cmath>
#include <cstdio>

namespace zymwin::cfb {

namespace {

// The JSON type names of the kinds of value a property can have.
const char* JsonType(const Zym::Variant& value) {
    switch (value.Type()) {
    case Zym::VariantType::Int:
        return "int";
    case Zym::VariantType::UInt:
        return "uint";
    case Zym::VariantType::Short:
        return "short";
    case Zym::VariantType::UShort:
        return "ushort";
    case Zym::VariantType::UChar:
        return "uchar";
    case Zym::VariantType::Bool:
        return "bool";
    case Zym::VariantType::Float:
        return "float";
    case Zym::VariantType::Double:
        return "double";
    case Zym::VariantType::DateTime:
        return "datetime";
    default:
        return "wstring";
    }
}

std::string JsonValue(const Zym::Variant& value) {
    switch (value.Type()) {
    case Zym::VariantType::WString:
        return JsonString(value.Get(Zym::g_VariantTraitsWStringType));
    case Zym::VariantType::DateTime:
        return JsonString(value.AsWString());
    case Zym::VariantType::Float:
    case Zym::VariantType::Double: {
        const double number = value.Type() == Zym::VariantType::Float
                                  ? value.Get(Zym::g_VariantTraitsFloatType)
                                  : value.Get(Zym::g_VariantTraitsDoubleType);
        // JSON has no infinities or NaN.
        return std::isfinite(number) ? value.AsString() : "null";
    }
    default:
        return value.AsString();
    }
}

} // namespace

int Properties(const std::string& file, bool json) {
    Document document(file);
    ZymWindows::OLE::PropertyStorage::MergedPropertyMap all;
    document.Root()->Properties(all);
    if (!json) {
        for (const auto& [name, value] : all)
            std::printf("%s: %s\n", EscapeControls(name).c_str(),
                        EscapeControls(value.AsString()).c_str());
        return 0;
    }
    std::fputs("[", stdout);
    bool first = true;
    for (const auto& [name, value] : all) {
        std::printf("%s\n  {\"name\": %s, \"type\": \"%s\", \"value\": %s}", first ? "" : ",",
                    JsonString(name).c_str(), JsonType(value), JsonValue(value).c_str());
        first = false;
    }
    std::fputs(first ? "]\n" : "\n]\n", stdout);
    return 0;
}

} // namespace zymwin::cfb
