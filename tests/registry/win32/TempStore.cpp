// The store of the Windows side: the system's registry, this process's
// roots redirected to a scratch tree.
#include "../TempStore.h"

#include <ZymWindows/Exceptions.h>
#include <ZymWindows/Registry.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

namespace RegistryTest {

namespace {

using ZymWindows::RegKeyW;

// Where this process's roots go while a store lives.
const std::wstring SCRATCH =
    L"Software\\ZymWindows Tests\\" + std::to_wstring(::GetCurrentProcessId());

struct Redirect {
    HKEY root;
    const wchar_t* path;
};
const Redirect REDIRECTS[] = {{HKEY_CURRENT_USER, L"HKCU"},
                              {HKEY_LOCAL_MACHINE, L"HKLM"},
                              {HKEY_USERS, L"HKU"},
                              {HKEY_CLASSES_ROOT, L"HKLM\\SOFTWARE\\Classes"}};

// Where the command-line tests' children write.
const std::pair<RegKeyW::STD_PARENT, const char16_t*> WATCHED[] = {
    {RegKeyW::CURRENT_USER, u""},
    {RegKeyW::CURRENT_USER, u"Software"},
    {RegKeyW::LOCAL_MACHINE, u"SOFTWARE"},
    {RegKeyW::LOCAL_MACHINE, u"SOFTWARE\\Classes"}};

std::vector<std::u16string> SubKeys(RegKeyW::STD_PARENT root, const char16_t* path) {
    std::vector<std::u16string> names;
    RegKeyW::Create(root, path, RegKeyW::OPEN_READ_ONLY)->GetSubKeysNames(names);
    return names;
}

} // namespace

TempStore::TempStore() {
    for (const auto& [root, path] : WATCHED)
        m_Existing.push_back(SubKeys(root, path));
    // Every target is made before any root is redirected: the targets
    // live under the system's own HKEY_CURRENT_USER.
    HKEY targets[std::size(REDIRECTS)] = {};
    for (std::size_t i = 0; i < std::size(REDIRECTS); ++i) {
        const std::wstring path = SCRATCH + L"\\" + REDIRECTS[i].path;
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &targets[i], nullptr) != ERROR_SUCCESS)
            ADD_FAILURE() << "cannot make a registry scratch root";
    }
    for (std::size_t i = 0; i < std::size(REDIRECTS); ++i) {
        if (targets[i] && ::RegOverridePredefKey(REDIRECTS[i].root, targets[i]) != ERROR_SUCCESS)
            ADD_FAILURE() << "cannot redirect a registry root";
    }
    for (const HKEY target : targets) {
        if (target)
            ::RegCloseKey(target);
    }
}

TempStore::~TempStore() {
    for (const Redirect& redirect : REDIRECTS)
        ::RegOverridePredefKey(redirect.root, nullptr);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, SCRATCH.c_str());
    try {
        for (std::size_t i = 0; i < std::size(WATCHED); ++i) {
            const auto& [root, path] = WATCHED[i];
            const auto parent = RegKeyW::Create(root, path, RegKeyW::OPEN_READ_WRITE);
            for (const auto& name : SubKeys(root, path))
                if (std::find(m_Existing[i].begin(), m_Existing[i].end(), name) ==
                    m_Existing[i].end())
                    RegKeyW::Create(parent, name, RegKeyW::OPEN_READ_WRITE)->Delete();
        }
    } catch (const ZymWindows::RegistryException& error) {
        ADD_FAILURE() << "registry left behind: " << error.WhatUtf8();
    }
}

} // namespace RegistryTest
