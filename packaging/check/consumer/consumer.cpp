// A program of a library user: a UUID from ZymWindows, kept in the
// machine-wide registry and read back, errors through the framework.
#include <Zym/Zym.h>
#include <ZymWindows/ZymWindows.h>

#include <cstdio>
#include <string>

int main() {
    using ZymWindows::RegKey;
    try {
        const std::string id = ZymWindows::Uuid::Generate().AsString();
        RegKey::Ptr key = RegKey::Create(RegKey::LOCAL_MACHINE, "SOFTWARE\\ZymPackageCheck",
                                         RegKey::CREATE_READ_WRITE);
        key->CreateStringValue("LastRun", id);
        const std::string stored = key->GetStringValue("LastRun").ReadString();
        std::printf("%s\n", stored.c_str());
        return stored == id ? 0 : 1;
    } catch (const Zym::BaseException& error) {
        std::fprintf(stderr, "consumer: %s\n", error.WhatUtf8().c_str());
        return 1;
    }
}
