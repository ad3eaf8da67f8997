// The registry against the floor of the same work done straight through the
// sqlite3 C API (same journal and synchronisation settings, one transaction
// per operation, prepared statements reused). Prints each operation's time
// on both sides and their ratio.
#include <ZymWindows/Registry.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace {

using ZymWindows::RegKeyW;
using Clock = std::chrono::steady_clock;

constexpr int VALUES = 100000;
constexpr int SUBKEYS = 10000;
constexpr int DEPTH = 200;
constexpr int LEAVES_PER_LEVEL = 5;

double Seconds(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The fastest of several runs of work that changes nothing, so that other
// load on the machine weighs less.
double Best(const std::function<void()>& work) {
    constexpr int RUNS = 7;
    double best = Seconds(work);
    for (int run = 1; run < RUNS; ++run)
        best = std::min(best, Seconds(work));
    return best;
}

std::u16string Name(const char* prefix, int i) {
    std::u16string name;
    for (const char* c = prefix; *c; ++c)
        name += static_cast<char16_t>(*c);
    for (const char c : std::to_string(i))
        name += static_cast<char16_t>(c);
    return name;
}

std::string Narrow(const char* prefix, int i) {
    return prefix + std::to_string(i);
}

void Check(int rc, sqlite3* db) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
}

// A plain key/value schema driven directly: what a program would write
// without the library.
class Floor {
public:
    explicit Floor(const std::filesystem::path& file) {
        Check(sqlite3_open(file.c_str(), &m_Db), m_Db);
        Exec("PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL; PRAGMA foreign_keys = ON;"
             "CREATE TABLE keys(id INTEGER PRIMARY KEY, parent INTEGER REFERENCES keys(id),"
             " name TEXT COLLATE NOCASE, UNIQUE(parent, name));"
             "CREATE TABLE vals(key INTEGER REFERENCES keys(id) ON DELETE CASCADE,"
             " name TEXT COLLATE NOCASE, type INTEGER, data BLOB, PRIMARY KEY(key, name));"
             "INSERT INTO keys(id, parent, name) VALUES(1, NULL, '')");
        m_InsertKey = Prepare("INSERT INTO keys(parent, name) VALUES(?1, ?2)");
        m_SetValue = Prepare("INSERT OR REPLACE INTO vals VALUES(?1, ?2, 4, ?3)");
        m_GetValue = Prepare("SELECT type, data FROM vals WHERE key = ?1 AND name = ?2");
        m_ListValues = Prepare("SELECT name FROM vals WHERE key = ?1 ORDER BY rowid");
        m_ListKeys = Prepare("SELECT name FROM keys WHERE parent = ?1 ORDER BY name");
        m_Children = Prepare("SELECT id FROM keys WHERE parent = ?1");
        m_Begin = Prepare("BEGIN IMMEDIATE");
        m_Commit = Prepare("COMMIT");
        m_DeleteKey = Prepare("DELETE FROM keys WHERE id = ?1");
    }
    ~Floor() {
        for (sqlite3_stmt* statement : {m_InsertKey, m_SetValue, m_GetValue, m_ListValues,
                                        m_ListKeys, m_Children, m_Begin, m_Commit, m_DeleteKey})
            sqlite3_finalize(statement);
        sqlite3_close(m_Db);
    }

    sqlite3_int64 InsertKey(sqlite3_int64 parent, const std::string& name) {
        sqlite3_bind_int64(m_InsertKey, 1, parent);
        sqlite3_bind_text(m_InsertKey, 2, name.data(), static_cast<int>(name.size()),
                          SQLITE_STATIC);
        Step(m_InsertKey);
        return sqlite3_last_insert_rowid(m_Db);
    }
    void SetValue(sqlite3_int64 key, const std::string& name, std::uint32_t value) {
        sqlite3_bind_int64(m_SetValue, 1, key);
        sqlite3_bind_text(m_SetValue, 2, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
        sqlite3_bind_blob(m_SetValue, 3, &value, sizeof value, SQLITE_STATIC);
        Step(m_SetValue);
    }
    std::uint32_t GetValue(sqlite3_int64 key, const std::string& name) {
        sqlite3_bind_int64(m_GetValue, 1, key);
        sqlite3_bind_text(m_GetValue, 2, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
        std::uint32_t value = 0;
        if (sqlite3_step(m_GetValue) == SQLITE_ROW && sqlite3_column_int(m_GetValue, 0) == 4)
            std::memcpy(&value, sqlite3_column_blob(m_GetValue, 1), sizeof value);
        sqlite3_reset(m_GetValue);
        return value;
    }
    std::vector<std::string> List(sqlite3_stmt* statement, sqlite3_int64 key) {
        std::vector<std::string> names;
        sqlite3_bind_int64(statement, 1, key);
        while (sqlite3_step(statement) == SQLITE_ROW)
            names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        sqlite3_reset(statement);
        return names;
    }
    std::vector<std::string> ListValues(sqlite3_int64 key) { return List(m_ListValues, key); }
    std::vector<std::string> ListKeys(sqlite3_int64 key) { return List(m_ListKeys, key); }
    // Depth first, one transaction per key, as the library deletes a tree.
    void DeleteTree(sqlite3_int64 key) {
        std::vector<sqlite3_int64> children;
        sqlite3_bind_int64(m_Children, 1, key);
        while (sqlite3_step(m_Children) == SQLITE_ROW)
            children.push_back(sqlite3_column_int64(m_Children, 0));
        sqlite3_reset(m_Children);
        for (const auto child : children)
            DeleteTree(child);
        Step(m_Begin);
        sqlite3_bind_int64(m_DeleteKey, 1, key);
        Step(m_DeleteKey);
        Step(m_Commit);
    }

private:
    void Exec(const char* sql) { Check(sqlite3_exec(m_Db, sql, nullptr, nullptr, nullptr), m_Db); }
    sqlite3_stmt* Prepare(const char* sql) {
        sqlite3_stmt* statement = nullptr;
        Check(sqlite3_prepare_v3(m_Db, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr),
              m_Db);
        return statement;
    }
    void Step(sqlite3_stmt* statement) {
        Check(sqlite3_step(statement), m_Db);
        sqlite3_reset(statement);
    }

    sqlite3* m_Db = nullptr;
    sqlite3_stmt* m_InsertKey;
    sqlite3_stmt* m_SetValue;
    sqlite3_stmt* m_GetValue;
    sqlite3_stmt* m_ListValues;
    sqlite3_stmt* m_ListKeys;
    sqlite3_stmt* m_Children;
    sqlite3_stmt* m_Begin;
    sqlite3_stmt* m_Commit;
    sqlite3_stmt* m_DeleteKey;
};

void Report(const char* operation, double library, double floor) {
    std::printf("%-44s %9.3f s %9.3f s %7.2fx\n", operation, library, floor, library / floor);
}

// Runs work over [0, count) on both sides in alternating slices, so that a
// change of load on the machine weighs on both alike.
void Interleaved(const char* operation, int count, const std::function<void(int)>& library,
                 const std::function<void(int)>& floor) {
    constexpr int SLICES = 20;
    double libraryTime = 0;
    double floorTime = 0;
    for (int slice = 0; slice < SLICES; ++slice) {
        const int from = count * slice / SLICES;
        const int to = count * (slice + 1) / SLICES;
        libraryTime += Seconds([&] {
            for (int i = from; i < to; ++i)
                library(i);
        });
        floorTime += Seconds([&] {
            for (int i = from; i < to; ++i)
                floor(i);
        });
    }
    Report(operation, libraryTime, floorTime);
}

void BuildDeepTree(const RegKeyW::Ptr& top) {
    RegKeyW::Ptr level = top;
    for (int depth = 0; depth < DEPTH; ++depth) {
        for (int leaf = 0; leaf < LEAVES_PER_LEVEL; ++leaf)
            RegKeyW::Create(level, Name("leaf", leaf), RegKeyW::CREATE_READ_WRITE);
        level = RegKeyW::Create(level, u"next", RegKeyW::CREATE_READ_WRITE);
    }
}

void BuildDeepTree(Floor& floor, sqlite3_int64 top) {
    sqlite3_int64 level = top;
    for (int depth = 0; depth < DEPTH; ++depth) {
        for (int leaf = 0; leaf < LEAVES_PER_LEVEL; ++leaf)
            floor.InsertKey(level, Narrow("leaf", leaf));
        level = floor.InsertKey(level, "next");
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        const bool help = std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0;
        std::fputs("Usage: bench_registry\n"
                   "Times registry writes, reads and listings beside the same work done\n"
                   "directly with sqlite3, in a scratch store under the temporary folder.\n",
                   help ? stdout : stderr);
        return help ? 0 : 2;
    }
    const auto dir = std::filesystem::temp_directory_path() / "zymwin-bench-registry";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "floor");
    ::setenv("ZYM_REGISTRY_DIR", dir.c_str(), 1);
    Floor floor(dir / "floor" / "floor.db");

    std::printf("%-44s %11s %11s %8s\n", "operation", "library", "sqlite3", "ratio");
    const auto values =
        RegKeyW::Create(RegKeyW::CURRENT_USER, u"Values", RegKeyW::CREATE_READ_WRITE);
    const auto floorValues = floor.InsertKey(1, "Values");
    Interleaved(
        "set 100,000 DWORD values", VALUES,
        [&](int i) { values->CreateDWORDValue(Name("v", i), static_cast<unsigned long>(i)); },
        [&](int i) { floor.SetValue(floorValues, Narrow("v", i), static_cast<std::uint32_t>(i)); });
    unsigned long sum = 0;
    Report("read 100,000 DWORD values", Best([&] {
               for (int i = 0; i < VALUES; ++i)
                   sum += values->GetDWORDValue(Name("v", i)).ReadDWORD();
           }),
           Best([&] {
               for (int i = 0; i < VALUES; ++i)
                   sum += floor.GetValue(floorValues, Narrow("v", i));
           }));
    std::size_t count = 0;
    // Each enumeration opens the key afresh, so that no listing is reused.
    Report("enumerate 100,000 value names", Best([&] {
               std::vector<std::u16string> names;
               RegKeyW::Create(RegKeyW::CURRENT_USER, u"Values", RegKeyW::OPEN_READ_ONLY)
                   ->GetValuesNames(names);
               count += names.size();
           }),
           Best([&] { count += floor.ListValues(floorValues).size(); }));

    const auto keys = RegKeyW::Create(RegKeyW::CURRENT_USER, u"Keys", RegKeyW::CREATE_READ_WRITE);
    const auto floorKeys = floor.InsertKey(1, "Keys");
    Interleaved(
        "create 10,000 sub keys", SUBKEYS,
        [&](int i) { RegKeyW::Create(keys, Name("k", i), RegKeyW::CREATE_READ_WRITE); },
        [&](int i) { floor.InsertKey(floorKeys, Narrow("k", i)); });
    const auto enumerate = [&](const char16_t* path) {
        return Best([&] {
            std::vector<std::u16string> names;
            RegKeyW::Create(RegKeyW::CURRENT_USER, path, RegKeyW::OPEN_READ_ONLY)
                ->GetSubKeysNames(names);
            count += names.size();
        });
    };
    const double whole = enumerate(u"Keys");
    Report("enumerate 10,000 sub keys by index", whole,
           Best([&] { count += floor.ListKeys(floorKeys).size(); }));
    const auto few = RegKeyW::Create(RegKeyW::CURRENT_USER, u"Few", RegKeyW::CREATE_READ_WRITE);
    for (int i = 0; i < SUBKEYS / 10; ++i)
        RegKeyW::Create(few, Name("k", i), RegKeyW::CREATE_READ_WRITE);
    const double tenth = enumerate(u"Few");

    const auto deep = RegKeyW::Create(RegKeyW::CURRENT_USER, u"Deep", RegKeyW::CREATE_READ_WRITE);
    BuildDeepTree(deep);
    const auto floorDeep = floor.InsertKey(1, "Deep");
    BuildDeepTree(floor, floorDeep);
    Report("delete a tree 200 deep (1,201 keys)", Seconds([&] { deep->Delete(); }),
           Seconds([&] { floor.DeleteTree(floorDeep); }));

    std::printf("\nenumeration growth: 10,000 sub keys take %.1fx the time of 1,000 "
                "(10x is linear)\n",
                whole / tenth);
    std::printf("(checksums %lu %zu)\n", sum, count);
    std::filesystem::remove_all(dir);
    return 0;
}
