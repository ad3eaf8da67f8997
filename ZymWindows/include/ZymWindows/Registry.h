#pragma once

#include <ZymWindows/Export.h>

#include <Zym/BinaryStreamBuf.h>
#include <Zym/RefCounter.h>
#include <Zym/SmartPtr.h>

#include <cstdint>
#include <string>
#include <vector>

#ifdef _WIN32
// The system's key handle, declared as <windows.h> declares it.
struct HKEY__;
typedef struct HKEY__* HKEY;
#endif

namespace ZymWindows {

// <windows.h> defines these names as macros with the same values; the
// library's own constants are declared under them and the macros put back.
#pragma push_macro("HKEY_CLASSES_ROOT")
#pragma push_macro("HKEY_CURRENT_USER")
#pragma push_macro("HKEY_LOCAL_MACHINE")
#pragma push_macro("HKEY_USERS")
#pragma push_macro("HKEY_CURRENT_CONFIG")
#pragma push_macro("KEY_QUERY_VALUE")
#pragma push_macro("KEY_SET_VALUE")
#pragma push_macro("KEY_CREATE_SUB_KEY")
#pragma push_macro("KEY_ENUMERATE_SUB_KEYS")
#pragma push_macro("KEY_NOTIFY")
#pragma push_macro("KEY_CREATE_LINK")
#pragma push_macro("KEY_READ")
#pragma push_macro("KEY_WRITE")
#pragma push_macro("KEY_ALL_ACCESS")
#pragma push_macro("REG_NONE")
#pragma push_macro("REG_SZ")
#pragma push_macro("REG_EXPAND_SZ")
#pragma push_macro("REG_BINARY")
#pragma push_macro("REG_DWORD")
#pragma push_macro("REG_DWORD_BIG_ENDIAN")
#pragma push_macro("REG_LINK")
#pragma push_macro("REG_MULTI_SZ")
#pragma push_macro("REG_RESOURCE_LIST")
#pragma push_macro("REG_FULL_RESOURCE_DESCRIPTOR")
#pragma push_macro("REG_RESOURCE_REQUIREMENTS_LIST")
#pragma push_macro("REG_QWORD")
#undef HKEY_CLASSES_ROOT
#undef HKEY_CURRENT_USER
#undef HKEY_LOCAL_MACHINE
#undef HKEY_USERS
#undef HKEY_CURRENT_CONFIG
#undef KEY_QUERY_VALUE
#undef KEY_SET_VALUE
#undef KEY_CREATE_SUB_KEY
#undef KEY_ENUMERATE_SUB_KEYS
#undef KEY_NOTIFY
#undef KEY_CREATE_LINK
#undef KEY_READ
#undef KEY_WRITE
#undef KEY_ALL_ACCESS
#undef REG_NONE
#undef REG_SZ
#undef REG_EXPAND_SZ
#undef REG_BINARY
#undef REG_DWORD
#undef REG_DWORD_BIG_ENDIAN
#undef REG_LINK
#undef REG_MULTI_SZ
#undef REG_RESOURCE_LIST
#undef REG_FULL_RESOURCE_DESCRIPTOR
#undef REG_RESOURCE_REQUIREMENTS_LIST
#undef REG_QWORD

#ifdef _WIN32
using HKEY = ::HKEY;

// The predefined roots, sign-extended as <windows.h> defines them.
inline HKEY PredefinedKey(std::int32_t value) noexcept {
    return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(value));
}
inline const HKEY HKEY_CLASSES_ROOT = PredefinedKey(static_cast<std::int32_t>(0x80000000));
inline const HKEY HKEY_CURRENT_USER = PredefinedKey(static_cast<std::int32_t>(0x80000001));
inline const HKEY HKEY_LOCAL_MACHINE = PredefinedKey(static_cast<std::int32_t>(0x80000002));
inline const HKEY HKEY_USERS = PredefinedKey(static_cast<std::int32_t>(0x80000003));
inline const HKEY HKEY_CURRENT_CONFIG = PredefinedKey(static_cast<std::int32_t>(0x80000005));
#else
// An open registry key. The predefined roots are fixed values; every other
// handle comes from opening or creating a key and stays valid until closed.
enum class HKEY : std::uintptr_t {};

inline constexpr HKEY HKEY_CLASSES_ROOT{0x80000000};
inline constexpr HKEY HKEY_CURRENT_USER{0x80000001};
inline constexpr HKEY HKEY_LOCAL_MACHINE{0x80000002};
inline constexpr HKEY HKEY_USERS{0x80000003};
inline constexpr HKEY HKEY_CURRENT_CONFIG{0x80000005};
#endif

// Access rights of a key handle.
inline constexpr unsigned long KEY_QUERY_VALUE = 0x0001;
inline constexpr unsigned long KEY_SET_VALUE = 0x0002;
inline constexpr unsigned long KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr unsigned long KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr unsigned long KEY_NOTIFY = 0x0010;
inline constexpr unsigned long KEY_CREATE_LINK = 0x0020;
inline constexpr unsigned long REG_DELETE = 0x00010000;
inline constexpr unsigned long REG_READ_CONTROL = 0x00020000;
inline constexpr unsigned long KEY_READ =
    REG_READ_CONTROL | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY;
inline constexpr unsigned long KEY_WRITE = REG_READ_CONTROL | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
inline constexpr unsigned long KEY_ALL_ACCESS = 0xF003F;
inline constexpr unsigned long KEY_READ_WRITE_DELETE = KEY_READ | KEY_WRITE | REG_DELETE;

// Registry value types.
enum RegistryType : unsigned long {
    REG_NONE = 0,
    REG_SZ = 1,
    REG_EXPAND_SZ = 2,
    REG_BINARY = 3,
    REG_DWORD = 4,
    REG_DWORD_BIG_ENDIAN = 5,
    REG_LINK = 6,
    REG_MULTI_SZ = 7,
    REG_RESOURCE_LIST = 8,
    REG_FULL_RESOURCE_DESCRIPTOR = 9,
    REG_RESOURCE_REQUIREMENTS_LIST = 10,
    REG_QWORD = 11,
};

#pragma pop_macro("REG_QWORD")
#pragma pop_macro("REG_RESOURCE_REQUIREMENTS_LIST")
#pragma pop_macro("REG_FULL_RESOURCE_DESCRIPTOR")
#pragma pop_macro("REG_RESOURCE_LIST")
#pragma pop_macro("REG_MULTI_SZ")
#pragma pop_macro("REG_LINK")
#pragma pop_macro("REG_DWORD_BIG_ENDIAN")
#pragma pop_macro("REG_DWORD")
#pragma pop_macro("REG_BINARY")
#pragma pop_macro("REG_EXPAND_SZ")
#pragma pop_macro("REG_SZ")
#pragma pop_macro("REG_NONE")
#pragma pop_macro("KEY_ALL_ACCESS")
#pragma pop_macro("KEY_WRITE")
#pragma pop_macro("KEY_READ")
#pragma pop_macro("KEY_CREATE_LINK")
#pragma pop_macro("KEY_NOTIFY")
#pragma pop_macro("KEY_ENUMERATE_SUB_KEYS")
#pragma pop_macro("KEY_CREATE_SUB_KEY")
#pragma pop_macro("KEY_SET_VALUE")
#pragma pop_macro("KEY_QUERY_VALUE")
#pragma pop_macro("HKEY_CURRENT_CONFIG")
#pragma pop_macro("HKEY_USERS")
#pragma pop_macro("HKEY_LOCAL_MACHINE")
#pragma pop_macro("HKEY_CURRENT_USER")
#pragma pop_macro("HKEY_CLASSES_ROOT")

template <class C> class RegKeyT;

// Base of the value handles, and the three ways a registry failure is
// raised. Each raises RegistryException and never returns.
class ZYMWINDOWS_EXPORT RegValueBase {
public:
    RegValueBase() = default;
    RegValueBase(const RegValueBase&) {}
    RegValueBase& operator=(const RegValueBase&) { return *this; }
    virtual ~RegValueBase();

    // The system text of `code`, ": ", the key name and, for a non-empty
    // value name, a backslash and the value name.
    [[noreturn]] static void ThrowLastError(long code, const std::string& keyName,
                                            const std::string& valueName);
    [[noreturn]] static void ThrowLastError(long code, const std::u16string& keyName,
                                            const std::u16string& valueName);
    // The catalogued "value does not exist" message.
    [[noreturn]] static void ThrowInvalidRegValue(const std::string& keyName,
                                                  const std::string& valueName);
    [[noreturn]] static void ThrowInvalidRegValue(const std::u16string& keyName,
                                                  const std::u16string& valueName);
    // The catalogued "datatype is not supported" message.
    [[noreturn]] static void ThrowInvalidRegKeyFormat(const std::string& keyName,
                                                      const std::string& valueName);
    [[noreturn]] static void ThrowInvalidRegKeyFormat(const std::u16string& keyName,
                                                      const std::u16string& valueName);
};

// A named value of an open key. The handle holds no data and does not keep
// the key alive: the caller keeps the key as long as it uses the handle.
// The reads check existence and type when they run, and raise through the
// RegValueBase functions with the key's full name and the value name.
template <class C> class RegValue : public RegValueBase {
public:
    using String = std::basic_string<C>;

    RegValue(RegKeyT<C>* key, const String& name) : m_Key(key), m_Name(name) {}
    RegValue(const RegValue&) = default;
    RegValue& operator=(const RegValue&) = default;
    ~RegValue() override;

    RegKeyT<C>* Key() const noexcept { return m_Key; }
    const String& Name() const noexcept { return m_Name; }
    friend bool operator==(const RegValue& a, const RegValue& b) {
        return a.m_Key == b.m_Key && a.m_Name == b.m_Name;
    }

    // A REG_SZ value as narrow text (code page 1252).
    std::string ReadString() const;
    // A REG_SZ value as wide text.
    std::u16string ReadWString() const;
    // A REG_DWORD value.
    unsigned long ReadDWORD() const;
    // A REG_BINARY value: its bytes are written to `out` at its put position.
    void ReadBinary(Zym::BinaryStreamBufT<unsigned int>& out) const;
    // Any value: its registry type and its data as this width's registry
    // calls return it (narrow keys see string data in code page 1252, wide
    // keys as UTF-16LE).
    unsigned long ReadRaw(std::vector<unsigned char>& data) const;

private:
    RegKeyT<C>* m_Key;
    String m_Name;
};

// An open registry key, shared through Zym::SmartPtr. RegKeyT<char> takes
// narrow names (code page 1252), RegKeyT<char16_t> wide ones.
template <class C> class RegKeyT {
public:
    using String = std::basic_string<C>;
    using Ptr = Zym::SmartPtr<RegKeyT>;

    enum STD_PARENT {
        CLASSES_ROOT = 0,
        CURRENT_CONFIG = 1,
        CURRENT_USER = 2,
        LOCAL_MACHINE = 3,
        USERS = 4,
    };
    enum KEY_CONSTRUCTION_MODE {
        OPEN_READ_ONLY = 0,
        OPEN_READ_WRITE = 1,
        CREATE_READ_WRITE = 2,
    };
    enum VALUE_TYPE {
        DWORD_TYPE = 0,
        STRING_TYPE = 1,
        BINARY_TYPE = 2,
    };

    static constexpr C ms_BACKSLASH = C('\\');
    static const String ms_HKEY_CLASSES_ROOT;
    static const String ms_HKEY_CURRENT_CONFIG;
    static const String ms_HKEY_CURRENT_USER;
    static const String ms_HKEY_LOCAL_MACHINE;

    // From a full path: a root name, a backslash and the sub path.
    static Ptr Create(const String& fullPath, KEY_CONSTRUCTION_MODE mode);
    // Below an open parent key.
    static Ptr Create(const Ptr& parent, const String& subPath, KEY_CONSTRUCTION_MODE mode);
    // Below a predefined root.
    static Ptr Create(STD_PARENT root, const String& subPath, KEY_CONSTRUCTION_MODE mode);

    RegKeyT(const RegKeyT&) = delete;
    RegKeyT& operator=(const RegKeyT&) = delete;
    ~RegKeyT();

    const String& KeyName() const noexcept { return m_KeyName; }
    const String FullKeyName() const;
    const HKEY& KeyHandle() const noexcept { return m_KeyHandle; }

    long AddRef() const noexcept { return m_RefCount.Increment(); }
    long Release() const noexcept;
    long NbRef() const noexcept { return m_RefCount.Get(); }

    // Appends the direct sub keys' names, highest enumeration index first.
    void GetSubKeysNames(std::vector<String>& names) const;
    // Deletes every sub key with its subtree; the key and its values stay.
    void DeleteAllSubKeys();
    // Deletes the key with its whole subtree, deepest keys first.
    void Delete();

    RegValue<C> CreateStringValue(const String& name, const std::string& text);
    RegValue<C> CreateWStringValue(const String& name, const std::u16string& text);
    RegValue<C> CreateDWORDValue(const String& name, unsigned long value);
    // Writes the buffer's whole size, read from its get position.
    RegValue<C> CreateBinaryValue(const String& name, Zym::BinaryStreamBufT<unsigned int>& data);

    RegValue<C> GetStringValue(const String& name);
    RegValue<C> GetStringValue(const String& name) const;
    RegValue<C> GetWStringValue(const String& name);
    RegValue<C> GetWStringValue(const String& name) const;
    RegValue<C> GetDWORDValue(const String& name);
    RegValue<C> GetDWORDValue(const String& name) const;
    RegValue<C> GetBinaryValue(const String& name);
    RegValue<C> GetBinaryValue(const String& name) const;

    // False exactly when the value is missing; other failures count as present.
    bool ValueExists(const String& name) const;
    VALUE_TYPE GetValueType(const String& name);
    void DeleteValue(const String& name);
    void DeleteAllValues();
    // Appends the value names, highest enumeration index first.
    void GetValuesNames(std::vector<String>& names) const;

private:
    RegKeyT(const String& keyName, const Ptr& parent, std::int32_t stdParent);

    HKEY OpenKeyCommon(const HKEY& parent, const RegKeyT& key, KEY_CONSTRUCTION_MODE mode) const;
    HKEY CreateKeyCommon(const HKEY& parent, const RegKeyT& key, KEY_CONSTRUCTION_MODE mode) const;
    HKEY ResolvePredefined(const String& rootName) const;
    HKEY ResolvePredefined(STD_PARENT root) const;
    void ResolvePredefinedName(STD_PARENT root, String& name) const;
    void Open(const HKEY& parent, KEY_CONSTRUCTION_MODE mode);
    // Appends the direct sub keys' (values') names in descending index
    // order; with `reserve`, first makes room for them when the vector's
    // capacity is below their count.
    void CollectSubKeyNames(std::vector<String>& names, bool reserve) const;
    void CollectValueNames(std::vector<String>& names, bool reserve) const;
    RegValue<C> SetValue(const String& name, unsigned long type, const void* data,
                         std::size_t size);

    mutable Zym::InterlockedCounter m_RefCount;
    String m_KeyName;
    Ptr m_Parent;
    std::int32_t m_StdParent;
    HKEY m_RootHandle{};
    HKEY m_KeyHandle{};
};

extern template class ZYMWINDOWS_EXPORT RegValue<char>;
extern template class ZYMWINDOWS_EXPORT RegValue<char16_t>;
extern template class ZYMWINDOWS_EXPORT RegKeyT<char>;
extern template class ZYMWINDOWS_EXPORT RegKeyT<char16_t>;

using RegKey = RegKeyT<char>;
using RegKeyW = RegKeyT<char16_t>;

} // namespace ZymWindows
