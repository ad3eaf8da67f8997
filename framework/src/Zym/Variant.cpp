#include "Zym/Variant.h"

#include "ZymCharset/Utf.h"

#include <charconv>
#include <cmath>

namespace Zym {

// Anchors the nested class's virtual table and type in this library.
Variant::VariantException::~VariantException() = default;

namespace {

template <class Number> std::string Decimal(Number value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

// to_chars writes "-inf" and "-nan" too; NaN's sign carries no meaning.
template <class Floating> std::string Shortest(Floating value) {
    if (std::isnan(value))
        return "nan";
    return Decimal(value);
}

struct TextOf {
    std::string operator()(std::monostate) const { return {}; }
    std::string operator()(unsigned char value) const { return Decimal(unsigned(value)); }
    std::string operator()(bool value) const { return value ? "true" : "false"; }
    std::string operator()(float value) const { return Shortest(value); }
    std::string operator()(double value) const { return Shortest(value); }
    std::string operator()(const std::u16string&) const { return {}; }
    std::string operator()(const DateTime& value) const { return value.AsIsoUtc(); }
    template <class Integer> std::string operator()(Integer value) const { return Decimal(value); }
};

constexpr const char* TYPE_NAMES[] = {
    "empty",
    g_VariantTraitsIntType.name,
    g_VariantTraitsUIntType.name,
    g_VariantTraitsShortType.name,
    g_VariantTraitsUShortType.name,
    g_VariantTraitsUCharType.name,
    g_VariantTraitsBoolType.name,
    g_VariantTraitsFloatType.name,
    g_VariantTraitsDoubleType.name,
    g_VariantTraitsWStringType.name,
    g_VariantTraitsDateTimeType.name,
};

} // namespace

std::u16string Variant::AsWString() const {
    if (IsEmpty())
        throw VariantException(u"The variant is empty.");
    if (const auto* text = std::get_if<std::u16string>(&m_Value))
        return *text;
    return ZymCharset::FromUtf8(std::visit(TextOf(), m_Value));
}

std::string Variant::AsString() const {
    return ZymCharset::ToUtf8(AsWString());
}

const char* Variant::TypeName() const noexcept {
    return TYPE_NAMES[m_Value.index()];
}

void Variant::ThrowWrongType(const char* wanted) const {
    if (IsEmpty())
        throw VariantException(
            ZymCharset::FromUtf8(std::string("The variant is empty, not ") + wanted + "."));
    throw VariantException(ZymCharset::FromUtf8(std::string("The variant holds ") + TypeName() +
                                                ", not " + wanted + "."));
}

} // namespace Zym
