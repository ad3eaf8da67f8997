// Opening, naming, listing and deleting keys; instantiated in Registry.cpp.
#include "RegMessages.h"
#include "RegText.h"
#include "registry/RegistryPlatform.h"

#include "ZymWindows/Exceptions.h"
#include "ZymWindows/Registry.h"
#include "ZymWindows/ZymWindowsMsg-I.h"

#include <Zym/LastError.h>

#include <memory>

namespace ZymWindows {

namespace {

unsigned long AccessOf(int mode) {
    return mode == 0 ? KEY_READ : KEY_READ_WRITE_DELETE;
}

} // namespace

template <class C>
const typename RegKeyT<C>::String
    RegKeyT<C>::ms_HKEY_CLASSES_ROOT = RegText::Literal<C>("HKEY_CLASSES_ROOT");
template <class C>
const typename RegKeyT<C>::String
    RegKeyT<C>::ms_HKEY_CURRENT_CONFIG = RegText::Literal<C>("HKEY_CURRENT_CONFIG");
template <class C>
const typename RegKeyT<C>::String
    RegKeyT<C>::ms_HKEY_CURRENT_USER = RegText::Literal<C>("HKEY_CURRENT_USER");
template <class C>
const typename RegKeyT<C>::String
    RegKeyT<C>::ms_HKEY_LOCAL_MACHINE = RegText::Literal<C>("HKEY_LOCAL_MACHINE");

template <class C>
RegKeyT<C>::RegKeyT(const String& keyName, const Ptr& parent, std::int32_t stdParent)
    : m_KeyName(keyName), m_Parent(parent), m_StdParent(stdParent) {}

template <class C> RegKeyT<C>::~RegKeyT() {
    if (m_KeyHandle != HKEY{})
        Platform::RegCloseKey(m_KeyHandle);
    m_RootHandle = HKEY{};
    m_KeyHandle = HKEY{};
}

template <class C> long RegKeyT<C>::Release() const noexcept {
    const long left = m_RefCount.Decrement();
    if (left == 0)
        delete this;
    return left;
}

template <class C>
typename RegKeyT<C>::Ptr RegKeyT<C>::Create(const String& fullPath, KEY_CONSTRUCTION_MODE mode) {
    const auto slash = fullPath.find(ms_BACKSLASH);
    if (slash == String::npos)
        ThrowRegistryMessage(MSG_REG_INVALID_KEY_PATH, __LINE__, RegText::Wide(fullPath));
    std::unique_ptr<RegKeyT> key(new RegKeyT(fullPath.substr(slash + 1), nullptr, -1));
    key->m_RootHandle = key->ResolvePredefined(fullPath.substr(0, slash));
    key->Open(key->m_RootHandle, mode);
    return Ptr(key.release());
}

template <class C>
typename RegKeyT<C>::Ptr RegKeyT<C>::Create(const Ptr& parent, const String& subPath,
                                            KEY_CONSTRUCTION_MODE mode) {
    std::unique_ptr<RegKeyT> key(new RegKeyT(subPath, parent, -1));
    key->Open(parent->m_KeyHandle, mode);
    return Ptr(key.release());
}

template <class C>
typename RegKeyT<C>::Ptr RegKeyT<C>::Create(STD_PARENT root, const String& subPath,
                                            KEY_CONSTRUCTION_MODE mode) {
    std::unique_ptr<RegKeyT> key(new RegKeyT(subPath, nullptr, static_cast<std::int32_t>(root)));
    key->m_RootHandle = key->ResolvePredefined(root);
    key->Open(key->m_RootHandle, mode);
    return Ptr(key.release());
}

template <class C> void RegKeyT<C>::Open(const HKEY& parent, KEY_CONSTRUCTION_MODE mode) {
    m_KeyHandle = mode == CREATE_READ_WRITE ? CreateKeyCommon(parent, *this, mode)
                                            : OpenKeyCommon(parent, *this, mode);
}

template <class C>
HKEY RegKeyT<C>::OpenKeyCommon(const HKEY& parent, const RegKeyT& key,
                               KEY_CONSTRUCTION_MODE mode) const {
    HKEY handle{};
    const long error =
        Platform::RegOpenKey(parent, RegText::Wide(key.m_KeyName), AccessOf(mode), handle);
    if (error != Zym::ERROR_SUCCESS)
        RegValueBase::ThrowLastError(error, key.FullKeyName(), String());
    return handle;
}

template <class C>
HKEY RegKeyT<C>::CreateKeyCommon(const HKEY& parent, const RegKeyT& key,
                                 KEY_CONSTRUCTION_MODE mode) const {
    HKEY handle{};
    const long error =
        Platform::RegCreateKey(parent, RegText::Wide(key.m_KeyName), AccessOf(mode), handle);
    if (error != Zym::ERROR_SUCCESS)
        RegValueBase::ThrowLastError(error, key.FullKeyName(), String());
    return handle;
}

template <class C> HKEY RegKeyT<C>::ResolvePredefined(const String& rootName) const {
    // Whole names, case-sensitive; HKEY_USERS has no name here.
    if (rootName == ms_HKEY_CLASSES_ROOT)
        return HKEY_CLASSES_ROOT;
    if (rootName == ms_HKEY_CURRENT_CONFIG)
        return HKEY_CURRENT_CONFIG;
    if (rootName == ms_HKEY_CURRENT_USER)
        return HKEY_CURRENT_USER;
    if (rootName == ms_HKEY_LOCAL_MACHINE)
        return HKEY_LOCAL_MACHINE;
    ThrowRegistryMessage(MSG_REG_INVALID_ROOT_KEY, __LINE__, RegText::Wide(rootName));
}

template <class C> HKEY RegKeyT<C>::ResolvePredefined(STD_PARENT root) const {
    switch (root) {
    case CURRENT_CONFIG:
        return HKEY_CURRENT_CONFIG;
    case CURRENT_USER:
        return HKEY_CURRENT_USER;
    case LOCAL_MACHINE:
        return HKEY_LOCAL_MACHINE;
    case USERS:
        return HKEY_USERS;
    default:
        return HKEY_CLASSES_ROOT;
    }
}

template <class C> void RegKeyT<C>::ResolvePredefinedName(STD_PARENT root, String& name) const {
    switch (root) {
    case CLASSES_ROOT:
        name = ms_HKEY_CLASSES_ROOT;
        break;
    case CURRENT_CONFIG:
        name = ms_HKEY_CURRENT_CONFIG;
        break;
    case CURRENT_USER:
        name = ms_HKEY_CURRENT_USER;
        break;
    case LOCAL_MACHINE:
        name = ms_HKEY_LOCAL_MACHINE;
        break;
    default:
        break;
    }
}

template <class C> const typename RegKeyT<C>::String RegKeyT<C>::FullKeyName() const {
    String name;
    if (m_Parent) {
        name = m_Parent->FullKeyName();
        name += ms_BACKSLASH;
    } else if (m_StdParent != -1) {
        ResolvePredefinedName(static_cast<STD_PARENT>(m_StdParent), name);
        name += ms_BACKSLASH;
    }
    name += m_KeyName;
    return name;
}

template <class C>
void RegKeyT<C>::CollectSubKeyNames(std::vector<String>& names, bool reserve) const {
    unsigned long count = 0;
    unsigned long longest = 0;
    long error = Platform::RegQueryInfoKey(m_KeyHandle, &count, &longest, nullptr, nullptr);
    if (error != Zym::ERROR_SUCCESS)
        ThrowSystemText(error);
    if (reserve && names.capacity() < count)
        names.reserve(count);
    std::u16string name;
    name.reserve(longest + 1);
    for (unsigned long index = count; index-- > 0;) {
        error = Platform::RegEnumKey(m_KeyHandle, index, name);
        if (error != Zym::ERROR_SUCCESS)
            ThrowSystemText(error);
        names.push_back(RegText::FromWide<C>(name));
    }
}

template <class C> void RegKeyT<C>::GetSubKeysNames(std::vector<String>& names) const {
    CollectSubKeyNames(names, true);
}

template <class C> void RegKeyT<C>::DeleteAllSubKeys() {
    std::vector<String> children;
    CollectSubKeyNames(children, false);
    const Ptr self(this);
    for (const String& child : children)
        Create(self, child, OPEN_READ_WRITE)->Delete();
}

template <class C> void RegKeyT<C>::Delete() {
    DeleteAllSubKeys();
    const HKEY& parent = m_Parent ? m_Parent->m_KeyHandle : m_RootHandle;
    const long error = Platform::RegDeleteKey(parent, RegText::Wide(m_KeyName));
    if (error != Zym::ERROR_SUCCESS)
        RegValueBase::ThrowLastError(error, FullKeyName(), String());
}

} // namespace ZymWindows
