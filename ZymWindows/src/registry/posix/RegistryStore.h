#pragma once

#include "registry/posix/RegistryVersion.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace ZymWindows::Platform::Posix {

using KeyId = std::int64_t;

// One hive file: a SQLite database in WAL mode with a table of keys (each
// with its parent) and a table of values. Names are kept as written and,
// for lookups, upper-cased in a second column (a unique index for values;
// for keys the insert itself checks), since SQLite folds ASCII only. One connection per store and
// process, used under the store's lock; it is reopened in a child after fork().
class Store {
public:
    static constexpr KeyId ROOT = 1;

    // The store of the database at `path`, shared within the process.
    static long Get(const std::string& path, std::shared_ptr<Store>& store);

    explicit Store(std::string path);
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    const std::string& Path() const noexcept { return m_Path; }
    // Inside a session: whether this account may only read the store.
    bool IsReadOnly() const noexcept;

    // Holds the store's lock and its open connection for one operation.
    class Session {
    public:
        explicit Session(Store& store);
        Session(const Session&) = delete;
        Session& operator=(const Session&) = delete;
        // The error of opening the connection, 0 when it is usable.
        long Error() const noexcept { return m_Error; }

    private:
        std::lock_guard<std::mutex> m_Guard;
        long m_Error;
    };

    // The operations below run inside a Session. Writes that span several
    // statements go between Begin and Commit; a single statement commits
    // on its own.
    long Begin();
    long Commit();
    void Rollback();

    long FindChild(KeyId parent, std::string_view folded, KeyId& child, bool& found);
    // Adds the key unless the parent has one of that name already.
    long InsertKey(KeyId parent, std::string_view name, std::string_view folded, KeyId& child,
                   bool& inserted);
    long KeyExists(KeyId key, bool& exists);
    // Deletes the key, with its values, unless it has sub keys.
    long DeleteKey(KeyId key, bool& deleted);
    // Removes the key, its whole subtree and their values.
    long DeleteTree(KeyId key);
    // The names below the key; `exists` is false once the key was deleted.
    long ListChildren(KeyId key, std::vector<std::u16string>& names, bool& exists);
    long ListValues(KeyId key, std::vector<std::u16string>& names, bool& exists);
    long SetValue(KeyId key, std::string_view name, std::string_view folded, unsigned long type,
                  const void* data, std::size_t size);
    long GetValue(KeyId key, std::string_view folded, unsigned long& type,
                  std::vector<unsigned char>* data, bool& found);
    long DeleteValue(KeyId key, std::string_view folded, bool& deleted);

    // Changes whenever any process commits a write to this store.
    std::uint64_t Version() const noexcept { return m_Version.Get(); }
    void MarkChanged() noexcept { m_Version.Bump(); }

    // Forgets the connection inherited over fork() without touching it.
    void AbandonAfterFork() noexcept;

private:
    enum StatementId {
        BEGIN,
        COMMIT,
        ROLLBACK,
        FIND_CHILD,
        INSERT_KEY,
        KEY_EXISTS,
        DELETE_KEY,
        DELETE_TREE,
        LIST_CHILDREN,
        LIST_VALUES,
        SET_VALUE,
        GET_VALUE,
        DELETE_VALUE,
        STATEMENT_COUNT
    };

    long Connect();
    long OpenDatabase();
    long Configure();
    long CreateSchema();
    long Prepare();
    long Exec(const char* sql);
    // Runs a statement that returns no rows.
    long Run(sqlite3_stmt* statement);
    long ListNames(StatementId id, KeyId key, std::vector<std::u16string>& names, bool& exists);
    long Error(int rc) const noexcept;

    std::string m_Path;
    std::mutex m_Lock;
    sqlite3* m_Db = nullptr;
    bool m_Connected = false;
    std::array<sqlite3_stmt*, STATEMENT_COUNT> m_Statements{};
    VersionCounter m_Version;
};

} // namespace ZymWindows::Platform::Posix
