#pragma once

#include <Zym/Export.h>

#include "Zym/DateTime.h"
#include "Zym/Exception.h"

#include <string>
#include <variant>

namespace Zym {

// The kinds of value a Variant holds, in the order of its alternatives.
enum class VariantType {
    Empty,
    Int,
    UInt,
    Short,
    UShort,
    UChar,
    Bool,
    Float,
    Double,
    WString,
    DateTime,
};

// Describes one kind of value; a variant is built, tested and read through
// these descriptors, so the C++ type of the value always matches the kind.
template <class T> struct VariantTraits {
    using ValueType = T;
    VariantType type;
    const char* name;
};

inline constexpr VariantTraits<int> g_VariantTraitsIntType{VariantType::Int, "int"};
inline constexpr VariantTraits<unsigned int> g_VariantTraitsUIntType{VariantType::UInt,
                                                                     "unsigned int"};
inline constexpr VariantTraits<short> g_VariantTraitsShortType{VariantType::Short, "short int"};
inline constexpr VariantTraits<unsigned short> g_VariantTraitsUShortType{VariantType::UShort,
                                                                         "unsigned short int"};
inline constexpr VariantTraits<unsigned char> g_VariantTraitsUCharType{VariantType::UChar,
                                                                       "unsigned char"};
inline constexpr VariantTraits<bool> g_VariantTraitsBoolType{VariantType::Bool, "bool"};
inline constexpr VariantTraits<float> g_VariantTraitsFloatType{VariantType::Float, "float"};
inline constexpr VariantTraits<double> g_VariantTraitsDoubleType{VariantType::Double, "double"};
inline constexpr VariantTraits<std::u16string> g_VariantTraitsWStringType{VariantType::WString,
                                                                          "wstring"};
inline constexpr VariantTraits<DateTime> g_VariantTraitsDateTimeType{VariantType::DateTime,
                                                                     "DateTime"};

// A value of one of the kinds above, or nothing. Copied by value.
class ZYM_EXPORT Variant {
public:
    // Raised when a variant is read as a kind it does not hold, or is empty.
    ZYM_ROOT_EXCEPTION(ZYM_EXPORT, VariantException, ::Zym::Exception);

    Variant() noexcept = default;
    template <class T> Variant(const VariantTraits<T>&, const T& value) : m_Value(value) {}
    Variant(int value) : m_Value(value) {}
    Variant(unsigned int value) : m_Value(value) {}
    Variant(short value) : m_Value(value) {}
    Variant(unsigned short value) : m_Value(value) {}
    Variant(unsigned char value) : m_Value(value) {}
    Variant(bool value) : m_Value(value) {}
    Variant(float value) : m_Value(value) {}
    Variant(double value) : m_Value(value) {}
    Variant(std::u16string value) : m_Value(std::move(value)) {}
    Variant(const char16_t* value) : m_Value(std::u16string(value)) {}
    // Narrow text has no kind of its own; without this it would become a bool.
    Variant(const char*) = delete;
    Variant(const DateTime& value) : m_Value(value) {}

    template <class T> void Set(const VariantTraits<T>&, const T& value) { m_Value = value; }
    void Clear() noexcept { m_Value = std::monostate(); }

    bool IsEmpty() const noexcept { return Type() == VariantType::Empty; }
    VariantType Type() const noexcept { return static_cast<VariantType>(m_Value.index()); }
    template <class T> bool Is(const VariantTraits<T>&) const noexcept {
        return std::holds_alternative<T>(m_Value);
    }
    // The value as the kind it holds; VariantException for any other kind.
    template <class T> const T& Get(const VariantTraits<T>& traits) const {
        if (const T* value = std::get_if<T>(&m_Value))
            return *value;
        ThrowWrongType(traits.name);
    }

    // Text of the value: integers in decimal (an unsigned char as a number),
    // bool as "true" or "false", float and double in the shortest form that
    // reads back to the same value ("0.1", "1e+100", "inf", "nan"), a
    // DateTime as "2024-03-01T12:45:00Z" (UTC), a wstring as it is.
    // VariantException when empty.
    std::u16string AsWString() const;
    // AsWString in UTF-8.
    std::string AsString() const;

    // The name of the kind held ("int", "wstring", ...; "empty").
    const char* TypeName() const noexcept;

    friend bool operator==(const Variant&, const Variant&) = default;

private:
    [[noreturn]] void ThrowWrongType(const char* wanted) const;

    std::variant<std::monostate, int, unsigned int, short, unsigned short, unsigned char, bool,
                 float, double, std::u16string, DateTime>
        m_Value;
};

} // namespace Zym
