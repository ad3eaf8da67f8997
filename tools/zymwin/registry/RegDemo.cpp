#include "Command.h"
#include "DemoFolder.h"

#include <ZymFile/MemoryBuffer.h>
#include <ZymWindows/Exceptions.h>
#include <ZymWindows/Registry.h>
#include <ZymWindows/Uuid.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace zymwin {

namespace {

using ZymWindows::RegKey;
using ZymWindows::RegKeyW;

#ifdef _WIN32
// The demo writes to the system's registry and takes back what it wrote.
class DemoStore {
public:
    DemoStore() = default;
    ~DemoStore() {
        try {
            RegKey::Create(RegKey::LOCAL_MACHINE, "SOFTWARE\\Classes\\Zym.Demo",
                           RegKey::OPEN_READ_WRITE)
                ->Delete();
        } catch (const ZymWindows::RegistryException&) {
            // Nothing was registered.
        }
    }
    DemoStore(const DemoStore&) = delete;
    DemoStore& operator=(const DemoStore&) = delete;

    std::string Name() const { return "the system registry"; }
};
#else
// Points the registry at a fresh temporary store for the demo's lifetime
// and puts everything back afterwards.
class DemoStore {
public:
    DemoStore() {
        if (const char* previous = std::getenv("ZYM_REGISTRY_DIR"))
            m_Previous = previous;
        ::setenv("ZYM_REGISTRY_DIR", m_Dir.Path().c_str(), 1);
    }
    ~DemoStore() {
        if (m_Previous)
            ::setenv("ZYM_REGISTRY_DIR", m_Previous->c_str(), 1);
        else
            ::unsetenv("ZYM_REGISTRY_DIR");
    }
    DemoStore(const DemoStore&) = delete;
    DemoStore& operator=(const DemoStore&) = delete;

    std::string Name() const { return m_Dir.Path().string(); }

private:
    const DemoFolder m_Dir{"zymwin-demo"};
    std::optional<std::string> m_Previous;
};
#endif

void RegistryDemo() {
    const DemoStore store;
    std::printf("store: %s\n", store.Name().c_str());
    const auto key =
        RegKey::Create(RegKey::CURRENT_USER, "Software\\ZymDemo", RegKey::CREATE_READ_WRITE);
    key->CreateStringValue("Name", "Zym");
    key->CreateWStringValue("Greeting", u"Grüße");
    key->CreateDWORDValue("Count", 42);
    ZymFile::MemoryBuffer bytes;
    bytes.Put("\x01\x02\x03", 3);
    key->CreateBinaryValue("Blob", bytes);
    RegKey::Create(key, "Child", RegKey::CREATE_READ_WRITE);

    std::printf("%s\n", key->FullKeyName().c_str());
    std::printf("  Name     = %s\n", key->GetStringValue("Name").ReadString().c_str());
    std::printf("  Greeting = %zu UTF-16 units\n",
                key->GetWStringValue("Greeting").ReadWString().size());
    std::printf("  Count    = %lu\n", key->GetDWORDValue("Count").ReadDWORD());
    ZymFile::MemoryBuffer blob;
    key->GetBinaryValue("Blob").ReadBinary(blob);
    std::printf("  Blob     = %u bytes\n", blob.Size());
    std::vector<std::string> names;
    key->GetValuesNames(names);
    std::printf("  values (highest index first):");
    for (const auto& name : names)
        std::printf(" %s", name.c_str());
    names.clear();
    key->GetSubKeysNames(names);
    std::printf("\n  sub keys: %zu\n", names.size());

    const ZymWindows::Uuid clsid = ZymWindows::Uuid::Generate();
    RegKey::Create(RegKey::LOCAL_MACHINE, "SOFTWARE\\Classes\\Zym.Demo\\CLSID",
                   RegKey::CREATE_READ_WRITE)
        ->CreateStringValue("", "{" + clsid.AsString() + "}");
    std::printf("UUID %s parses to %s\n", clsid.AsString().c_str(),
                ZymWindows::Uuid(clsid.AsString()).AsString().c_str());
    std::printf("ProgID Zym.Demo parses to %s\n",
                ZymWindows::Uuid(std::string("Zym.Demo")).AsString().c_str());
    key->Delete();
    std::puts("key deleted; store removed");
}

const Registration g_RegistryDemo(DemoStep{40, "Registry and UUIDs", RegistryDemo});

} // namespace

} // namespace zymwin
