#include "RegText.h"
#include "registry/RegistryPlatform.h"

#include "ZymWindows/Exceptions.h"
#include "ZymWindows/RegFile.h"

#include <Zym/LastError.h>
#include <ZymCharset/Utf.h>

#include <algorithm>

namespace ZymWindows::RegFile {

namespace {

HKEY RootHandle(RegKeyW::STD_PARENT root) {
    switch (root) {
    case RegKeyW::CURRENT_CONFIG:
        return HKEY_CURRENT_CONFIG;
    case RegKeyW::CURRENT_USER:
        return HKEY_CURRENT_USER;
    case RegKeyW::LOCAL_MACHINE:
        return HKEY_LOCAL_MACHINE;
    case RegKeyW::USERS:
        return HKEY_USERS;
    default:
        return HKEY_CLASSES_ROOT;
    }
}

Platform::RegChange ChangeOf(const Entry& entry) {
    Platform::RegChange change{};
    switch (entry.kind) {
    case Entry::KEY:
        change.kind = Platform::RegChange::CREATE_KEY;
        break;
    case Entry::DELETE_KEY:
        change.kind = Platform::RegChange::DELETE_TREE;
        break;
    case Entry::VALUE:
        change.kind = Platform::RegChange::SET_VALUE;
        break;
    case Entry::DELETE_VALUE:
        change.kind = Platform::RegChange::DELETE_VALUE;
        break;
    }
    change.root = RootHandle(entry.key.root);
    change.path = entry.key.subPath;
    change.valueName = entry.valueName;
    change.type = entry.type;
    change.data = entry.data;
    return change;
}

[[noreturn]] void ThrowImportFailure(long code, const Entry& entry) {
    std::u16string text;
    if (entry.line != 0)
        text = ZymCharset::FromUtf8("line " + std::to_string(entry.line) + ": ");
    text += Zym::GetLastErrorMessage(static_cast<unsigned long>(code));
    text += u": ";
    text += entry.key.Full();
    if (!entry.valueName.empty())
        text += u'\\' + entry.valueName;
    throw RegistryException(text);
}

void ExportKey(const RegKeyW::Ptr& key, const KeyPath& path, std::vector<Entry>& entries) {
    Entry section{};
    section.kind = Entry::KEY;
    section.key = path;
    entries.push_back(section);

    std::vector<std::u16string> names;
    key->GetValuesNames(names);
    std::reverse(names.begin(), names.end());
    for (const auto& name : names) {
        Entry value{};
        value.kind = Entry::VALUE;
        value.key = path;
        value.valueName = name;
        value.type = key->GetStringValue(name).ReadRaw(value.data);
        entries.push_back(std::move(value));
    }

    names.clear();
    key->GetSubKeysNames(names);
    std::reverse(names.begin(), names.end());
    for (const auto& name : names) {
        KeyPath child = path;
        child.subPath = child.subPath.empty() ? name : child.subPath + u'\\' + name;
        ExportKey(RegKeyW::Create(key, name, RegKeyW::OPEN_READ_ONLY), child, entries);
    }
}

} // namespace

void Import(const std::vector<Entry>& entries) {
    std::vector<Platform::RegChange> changes;
    changes.reserve(entries.size());
    for (const Entry& entry : entries)
        changes.push_back(ChangeOf(entry));
    std::size_t failedAt = 0;
    const long error = Platform::RegApplyChanges(changes, failedAt);
    if (error != Zym::ERROR_SUCCESS)
        ThrowImportFailure(error, entries[std::min(failedAt, entries.size() - 1)]);
}

std::vector<unsigned char> Export(const KeyPath& key) {
    std::vector<Entry> entries;
    ExportKey(RegKeyW::Create(key.root, key.subPath, RegKeyW::OPEN_READ_ONLY), key, entries);
    std::vector<unsigned char> bytes = {0xFF, 0xFE};
    const auto text = RegText::ToBytes(Format(entries), false);
    bytes.insert(bytes.end(), text.begin(), text.end());
    return bytes;
}

} // namespace ZymWindows::RegFile
