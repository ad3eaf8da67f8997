#include "registry/posix/RegistryStore.h"

#include "registry/posix/RegistryErrors.h"
#include "registry/posix/RegistryNames.h"

#include <Zym/LastError.h>

#include <iterator>
#include <map>
#include <new>
#include <pthread.h>
#include <sqlite3.h>
#include <utility>

namespace ZymWindows::Platform::Posix {

namespace {

constexpr int SCHEMA_VERSION = 1;
// Long enough for any other writer's single operation to finish.
constexpr int BUSY_TIMEOUT_MS = 60000;

constexpr const char* SCHEMA = R"sql(
CREATE TABLE keys(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    parent INTEGER REFERENCES keys(id),
    name TEXT NOT NULL,
    folded TEXT NOT NULL);
CREATE INDEX keys_by_name ON keys(parent, folded, name);
CREATE TABLE vals(
    id INTEGER PRIMARY KEY,
    key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,
    name TEXT NOT NULL,
    folded TEXT NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL);
CREATE UNIQUE INDEX vals_by_name ON vals(key, folded);
INSERT INTO keys(id, parent, name, folded) VALUES(1, NULL, '', '');
PRAGMA user_version = 1;
)sql";

constexpr const char* DELETE_TREE_SQL =
    "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL "
    "SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) "
    "DELETE FROM keys WHERE id IN tree";
// One name per parent, whatever its case: the check and the insert are one
// statement, so no other writer comes between them. The index also carries
// the names, so that listing a key's children reads the index alone.
constexpr const char* INSERT_KEY_SQL =
    "INSERT INTO keys(parent, name, folded) SELECT ?1, ?2, ?3 "
    "WHERE NOT EXISTS (SELECT 1 FROM keys WHERE parent = ?1 AND folded = ?3)";
// The key itself joins in, so that a deleted key gives no row at all and a
// key without children one row with a null name.
constexpr const char* LIST_CHILDREN_SQL =
    "SELECT child.name FROM keys AS key LEFT JOIN keys AS child ON child.parent = key.id "
    "WHERE key.id = ?1 ORDER BY child.folded";
constexpr const char* LIST_VALUES_SQL =
    "SELECT vals.name FROM keys AS key LEFT JOIN vals ON vals.key = key.id "
    "WHERE key.id = ?1 ORDER BY vals.id";
constexpr const char* SET_VALUE_SQL =
    "INSERT INTO vals(key, name, folded, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
    "ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, data = excluded.data";

// Indexed by Store::StatementId.
constexpr const char* STATEMENTS[] = {
    "BEGIN IMMEDIATE",
    "COMMIT",
    "ROLLBACK",
    "SELECT id FROM keys WHERE parent = ?1 AND folded = ?2",
    INSERT_KEY_SQL,
    "SELECT 1 FROM keys WHERE id = ?1",
    "DELETE FROM keys WHERE id = ?1 AND NOT EXISTS (SELECT 1 FROM keys WHERE parent = ?1)",
    DELETE_TREE_SQL,
    LIST_CHILDREN_SQL,
    LIST_VALUES_SQL,
    SET_VALUE_SQL,
    "SELECT type, data FROM vals WHERE key = ?1 AND folded = ?2",
    "DELETE FROM vals WHERE key = ?1 AND folded = ?2",
};

// Resets a statement and its bindings when the operation leaves it.
class Use {
public:
    explicit Use(sqlite3_stmt* statement) : m_Statement(statement) {}
    ~Use() {
        sqlite3_reset(m_Statement);
        sqlite3_clear_bindings(m_Statement);
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;
    sqlite3_stmt* operator*() const noexcept { return m_Statement; }

private:
    sqlite3_stmt* m_Statement;
};

void BindText(sqlite3_stmt* statement, int index, std::string_view text) {
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
}

// Every store of the process. Never destroyed: key handles may outlive any
// static destructor.
struct StoreTable {
    std::mutex lock;
    std::map<std::string, std::shared_ptr<Store>> stores;
};

StoreTable& Table();

void AbandonAllAfterFork() {
    StoreTable& table = Table();
    new (&table.lock) std::mutex;
    for (auto& [path, store] : table.stores)
        store->AbandonAfterFork();
}

StoreTable& Table() {
    static StoreTable* table = [] {
        pthread_atfork(nullptr, nullptr, AbandonAllAfterFork);
        return new StoreTable;
    }();
    return *table;
}

} // namespace

long Store::Get(const std::string& path, std::shared_ptr<Store>& store) {
    StoreTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    auto& entry = table.stores[path];
    if (!entry)
        entry = std::make_shared<Store>(path);
    store = entry;
    return Zym::ERROR_SUCCESS;
}

Store::Store(std::string path) : m_Path(std::move(path)) {}

Store::Session::Session(Store& store) : m_Guard(store.m_Lock), m_Error(store.Connect()) {}

bool Store::IsReadOnly() const noexcept {
    return sqlite3_db_readonly(m_Db, "main") == 1;
}

void Store::AbandonAfterFork() noexcept {
    // The parent owns the inherited connection and its locks; the child
    // must neither use nor close it.
    new (&m_Lock) std::mutex;
    m_Db = nullptr;
    m_Connected = false;
    m_Statements.fill(nullptr);
}

long Store::Connect() {
    if (m_Connected)
        return Zym::ERROR_SUCCESS;
    long error = OpenDatabase();
    if (error == Zym::ERROR_SUCCESS)
        error = Configure();
    if (error == Zym::ERROR_SUCCESS)
        error = CreateSchema();
    if (error == Zym::ERROR_SUCCESS)
        error = Prepare();
    if (error != Zym::ERROR_SUCCESS) {
        for (sqlite3_stmt*& statement : m_Statements)
            sqlite3_finalize(std::exchange(statement, nullptr));
        sqlite3_close_v2(std::exchange(m_Db, nullptr));
        return error;
    }
    m_Version.Map(m_Path + "-version");
    m_Connected = true;
    return Zym::ERROR_SUCCESS;
}

long Store::OpenDatabase() {
    int rc =
        sqlite3_open_v2(m_Path.c_str(), &m_Db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        // A store that this account may read but not write.
        sqlite3_close_v2(std::exchange(m_Db, nullptr));
        rc = sqlite3_open_v2(m_Path.c_str(), &m_Db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    }
    if (rc != SQLITE_OK)
        return StoreOpenError(m_Db, rc);
    sqlite3_extended_result_codes(m_Db, 1);
    return Zym::ERROR_SUCCESS;
}

long Store::Configure() {
    sqlite3_busy_timeout(m_Db, BUSY_TIMEOUT_MS);
    // Keep the -wal and -shm files after the last connection closes, so
    // accounts that may only read the store can still open it.
    int persist = 1;
    sqlite3_file_control(m_Db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    // Foreign keys are off on every new connection until asked for. Normal
    // synchronisation is durable against a killed process: a commit is in
    // the write-ahead log before it returns.
    long error = Exec("PRAGMA foreign_keys = ON; PRAGMA synchronous = NORMAL");
    if (error == Zym::ERROR_SUCCESS && !sqlite3_db_readonly(m_Db, "main"))
        error = Exec("PRAGMA journal_mode = WAL");
    return error;
}

long Store::CreateSchema() {
    sqlite3_stmt* version = nullptr;
    int rc = sqlite3_prepare_v2(m_Db, "PRAGMA user_version", -1, &version, nullptr);
    int found = 0;
    if (rc == SQLITE_OK && (rc = sqlite3_step(version)) == SQLITE_ROW) {
        found = sqlite3_column_int(version, 0);
        rc = SQLITE_OK;
    }
    sqlite3_finalize(version);
    if (rc != SQLITE_OK)
        return Error(rc);
    if (found == SCHEMA_VERSION)
        return Zym::ERROR_SUCCESS;
    if (found != 0)
        return Zym::ERROR_REGISTRY_CORRUPT;
    if (sqlite3_db_readonly(m_Db, "main"))
        return Zym::ERROR_ACCESS_DENIED;
    // Another process may be creating it at the same moment: decide under
    // the write lock.
    long error = Exec("BEGIN IMMEDIATE");
    if (error != Zym::ERROR_SUCCESS)
        return error;
    sqlite3_stmt* again = nullptr;
    rc = sqlite3_prepare_v2(m_Db, "PRAGMA user_version", -1, &again, nullptr);
    const bool empty =
        rc == SQLITE_OK && sqlite3_step(again) == SQLITE_ROW && sqlite3_column_int(again, 0) == 0;
    sqlite3_finalize(again);
    error = empty ? Exec(SCHEMA) : static_cast<long>(Zym::ERROR_SUCCESS);
    if (error == Zym::ERROR_SUCCESS)
        error = Exec("COMMIT");
    if (error != Zym::ERROR_SUCCESS)
        Exec("ROLLBACK");
    return error;
}

long Store::Prepare() {
    static_assert(std::size(STATEMENTS) == STATEMENT_COUNT);
    for (int id = 0; id < STATEMENT_COUNT; ++id) {
        const int rc = sqlite3_prepare_v3(m_Db, STATEMENTS[id], -1, SQLITE_PREPARE_PERSISTENT,
                                          &m_Statements[id], nullptr);
        if (rc != SQLITE_OK)
            return Error(rc);
    }
    return Zym::ERROR_SUCCESS;
}

long Store::Exec(const char* sql) {
    return Error(sqlite3_exec(m_Db, sql, nullptr, nullptr, nullptr));
}

long Store::Run(sqlite3_stmt* statement) {
    const int rc = sqlite3_step(statement);
    return Error(rc);
}

long Store::Error(int rc) const noexcept {
    return StoreError(m_Db, rc);
}

long Store::Begin() {
    Use statement(m_Statements[BEGIN]);
    return Run(*statement);
}

long Store::Commit() {
    Use statement(m_Statements[COMMIT]);
    return Run(*statement);
}

void Store::Rollback() {
    if (!sqlite3_get_autocommit(m_Db)) {
        Use statement(m_Statements[ROLLBACK]);
        Run(*statement);
    }
}

long Store::FindChild(KeyId parent, std::string_view folded, KeyId& child, bool& found) {
    Use statement(m_Statements[FIND_CHILD]);
    sqlite3_bind_int64(*statement, 1, parent);
    BindText(*statement, 2, folded);
    const int rc = sqlite3_step(*statement);
    found = rc == SQLITE_ROW;
    if (found)
        child = sqlite3_column_int64(*statement, 0);
    return Error(rc);
}

long Store::InsertKey(KeyId parent, std::string_view name, std::string_view folded, KeyId& child,
                      bool& inserted) {
    Use statement(m_Statements[INSERT_KEY]);
    sqlite3_bind_int64(*statement, 1, parent);
    BindText(*statement, 2, name);
    BindText(*statement, 3, folded);
    const long error = Run(*statement);
    inserted = error == Zym::ERROR_SUCCESS && sqlite3_changes(m_Db) > 0;
    if (inserted)
        child = sqlite3_last_insert_rowid(m_Db);
    return error;
}

long Store::KeyExists(KeyId key, bool& exists) {
    Use statement(m_Statements[KEY_EXISTS]);
    sqlite3_bind_int64(*statement, 1, key);
    const int rc = sqlite3_step(*statement);
    exists = rc == SQLITE_ROW;
    return Error(rc);
}

long Store::DeleteKey(KeyId key, bool& deleted) {
    Use statement(m_Statements[DELETE_KEY]);
    sqlite3_bind_int64(*statement, 1, key);
    const long error = Run(*statement);
    deleted = error == Zym::ERROR_SUCCESS && sqlite3_changes(m_Db) > 0;
    return error;
}

long Store::DeleteTree(KeyId key) {
    Use statement(m_Statements[DELETE_TREE]);
    sqlite3_bind_int64(*statement, 1, key);
    return Run(*statement);
}

long Store::ListNames(StatementId id, KeyId key, std::vector<std::u16string>& names, bool& exists) {
    Use statement(m_Statements[id]);
    sqlite3_bind_int64(*statement, 1, key);
    names.clear();
    exists = false;
    int rc;
    while ((rc = sqlite3_step(*statement)) == SQLITE_ROW) {
        exists = true;
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(*statement, 0));
        if (!text)
            continue;
        names.push_back(
            NameFromStore(text, static_cast<std::size_t>(sqlite3_column_bytes(*statement, 0))));
    }
    return Error(rc);
}

long Store::ListChildren(KeyId key, std::vector<std::u16string>& names, bool& exists) {
    return ListNames(LIST_CHILDREN, key, names, exists);
}

long Store::ListValues(KeyId key, std::vector<std::u16string>& names, bool& exists) {
    return ListNames(LIST_VALUES, key, names, exists);
}

long Store::SetValue(KeyId key, std::string_view name, std::string_view folded, unsigned long type,
                     const void* data, std::size_t size) {
    Use statement(m_Statements[SET_VALUE]);
    sqlite3_bind_int64(*statement, 1, key);
    BindText(*statement, 2, name);
    BindText(*statement, 3, folded);
    sqlite3_bind_int64(*statement, 4, static_cast<sqlite3_int64>(type));
    // A zero-length blob, never NULL, even when `data` is null.
    sqlite3_bind_blob64(*statement, 5, size ? data : "", size, SQLITE_STATIC);
    return Run(*statement);
}

long Store::GetValue(KeyId key, std::string_view folded, unsigned long& type,
                     std::vector<unsigned char>* data, bool& found) {
    Use statement(m_Statements[GET_VALUE]);
    sqlite3_bind_int64(*statement, 1, key);
    BindText(*statement, 2, folded);
    const int rc = sqlite3_step(*statement);
    found = rc == SQLITE_ROW;
    if (!found)
        return Error(rc);
    type = static_cast<unsigned long>(sqlite3_column_int64(*statement, 0));
    if (data) {
        const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(*statement, 1));
        data->assign(bytes, bytes + sqlite3_column_bytes(*statement, 1));
    }
    return Zym::ERROR_SUCCESS;
}

long Store::DeleteValue(KeyId key, std::string_view folded, bool& deleted) {
    Use statement(m_Statements[DELETE_VALUE]);
    sqlite3_bind_int64(*statement, 1, key);
    BindText(*statement, 2, folded);
    const long error = Run(*statement);
    deleted = error == Zym::ERROR_SUCCESS && sqlite3_changes(m_Db) > 0;
    return error;
}

} // namespace ZymWindows::Platform::Posix
