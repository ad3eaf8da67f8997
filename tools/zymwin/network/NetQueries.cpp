#include "NetQueries.h"

#include <ZymCharset/Utf.h>
#include <ZymWindows/NTNetwork.h>

namespace zymwin {

namespace {

using ZymWindows::NTNetwork;

std::u16string Wide(const std::string& text) {
    return ZymCharset::FromUtf8(text);
}

std::u16string Argument(const Args& arguments, std::size_t index) {
    return index < arguments.size() ? Wide(arguments[index]) : std::u16string();
}

void PrintLine(std::FILE* out, const std::u16string& text) {
    std::fprintf(out, "%s\n", ZymCharset::ToUtf8(text).c_str());
}

void PrintNames(std::FILE* out, const std::vector<std::u16string>& names) {
    for (const std::u16string& name : names)
        PrintLine(out, name);
}

void PrintIdentities(std::FILE* out, const NTNetwork::SIDs& identities) {
    for (const ZymSecurity::SecurityIDPtr& identity : identities)
        PrintLine(out, identity->GetString() + u"\t" + identity->GetDomain() + u"\\" +
                           identity->GetName());
}

// The domain a global query uses when none is given: this computer's.
std::u16string DomainOrOwn(const Args& arguments) {
    if (!arguments.empty())
        return Wide(arguments[0]);
    std::u16string domain;
    NTNetwork::GetDomainForMachine(NTNetwork::GetLocalComputerName(), domain);
    return domain;
}

template <void (*List)(const std::u16string&, NTNetwork::SIDs&)>
void ListOfOne(const Args& arguments, std::FILE* out) {
    NTNetwork::SIDs identities;
    List(Argument(arguments, 0), identities);
    PrintIdentities(out, identities);
}

template <void (*List)(const std::u16string&, NTNetwork::SIDs&)>
void GlobalList(const Args& arguments, std::FILE* out) {
    NTNetwork::SIDs identities;
    List(DomainOrOwn(arguments), identities);
    PrintIdentities(out, identities);
}

template <void (*List)(const std::u16string&, const std::u16string&, NTNetwork::SIDs&)>
void ListOfTwo(const Args& arguments, std::FILE* out) {
    NTNetwork::SIDs identities;
    List(Argument(arguments, 0), Argument(arguments, 1), identities);
    PrintIdentities(out, identities);
}

template <void (*List)(std::vector<std::u16string>&)> void Names(const Args&, std::FILE* out) {
    std::vector<std::u16string> names;
    List(names);
    PrintNames(out, names);
}

template <void (*List)(const std::u16string&, std::vector<std::u16string>&)>
void NamesOf(const Args& arguments, std::FILE* out) {
    std::vector<std::u16string> names;
    List(Argument(arguments, 0), names);
    PrintNames(out, names);
}

void UserGroups(const Args& arguments, std::FILE* out) {
    NTNetwork::SIDs groups;
    NTNetwork::GetLocalGroupsForUser(Argument(arguments, 0), Argument(arguments, 1),
                                     Argument(arguments, 2), groups);
    PrintIdentities(out, groups);
}

void Controller(const Args& arguments, std::FILE* out) {
    const bool primary = arguments.size() == 2;
    if (primary && arguments[1] != "--primary")
        throw UsageError{"unexpected argument '" + arguments[1] + "' (see 'zymwin net --help')"};
    std::u16string controller;
    NTNetwork::GetDomainController(Argument(arguments, 0), controller, primary);
    PrintLine(out, controller);
}

void DomainOf(const Args& arguments, std::FILE* out) {
    std::u16string domain;
    NTNetwork::GetDomainForMachine(Argument(arguments, 0), domain);
    PrintLine(out, domain);
}

void Type(const Args& arguments, std::FILE* out) {
    static const char* const NAMES[] = {"TYPE_UNKNOWN", "TYPE_SERVER", "TYPE_DOMAIN"};
    std::fprintf(out, "%s\n", NAMES[NTNetwork::GetDomainType(Argument(arguments, 0))]);
}

} // namespace

const std::vector<NetQuery>& NetQueries() {
    static const std::vector<NetQuery> queries = {
        {"computer", "", 0, 0,
         [](const Args&, std::FILE* out) { PrintLine(out, NTNetwork::GetLocalComputerName()); }},
        {"users", "[MACHINE]", 0, 1, ListOfOne<NTNetwork::GetLocalUsers>},
        {"groups", "[MACHINE]", 0, 1, ListOfOne<NTNetwork::GetLocalGroups>},
        {"global-users", "[DOMAIN]", 0, 1, GlobalList<NTNetwork::GetGlobalUsers>},
        {"global-groups", "[DOMAIN]", 0, 1, GlobalList<NTNetwork::GetGlobalGroups>},
        {"user-groups", "MACHINE DOMAIN USER", 3, 3, UserGroups},
        {"members", "MACHINE GROUP", 2, 2, ListOfTwo<NTNetwork::GetMembersForLocalGroup>},
        {"global-members", "DOMAIN GROUP", 2, 2, ListOfTwo<NTNetwork::GetMembersForGlobalGroup>},
        {"admin-group", "", 0, 0,
         [](const Args&, std::FILE* out) {
             PrintLine(out, NTNetwork::GetLocalAdministratorGroupName());
         }},
        {"domains", "", 0, 0, Names<NTNetwork::GetDomains>},
        {"workgroups", "", 0, 0, Names<NTNetwork::GetWorkGroups>},
        {"servers", "DOMAIN", 1, 1, NamesOf<NTNetwork::GetDomainServers>},
        {"shares", "SERVER", 1, 1, NamesOf<NTNetwork::GetServerShares>},
        {"dc", "DOMAIN [--primary]", 1, 2, Controller},
        {"domain-of", "MACHINE", 1, 1, DomainOf},
        {"type", "NAME", 1, 1, Type},
    };
    return queries;
}

} // namespace zymwin
