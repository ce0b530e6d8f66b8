// enrol/zr_sqlite_gallery.cpp: opening or creating the gallery file, its pragmas and tables, the
// count queries and the outer batch transaction. The CREATE texts are kept byte for byte:
// SQLite stores them in sqlite_master, where other tools read them.
#include "enrol/zr_sqlite_gallery.h"

#include <sqlite3.h>

#include <iostream>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/zr_file_system.h"
#include "enrol/internal/table_name.h"
#include "platform/zr_path_separators.h"

namespace {

// How long a statement waits for another connection's lock before it fails: a batch tool would
// rather wait than lose a batch.
constexpr int kBusyTimeoutMs = 60000;

void Print(std::ostream& console, const ZR_String& text) {
  console << text.m_text << std::endl;
}

// A read-only file or folder opens without complaint and then refuses every insert, so a write
// (the header's user version, set to its own value) is tried and rolled back. False with SQLite's
// text for the failure; a read-only gallery file or folder gives "attempt to write a readonly
// database".
bool CanWrite(sqlite3* db, ZR_String& err) {
  std::string version;
  const auto read = [](void* to, int, char** values, char**) {
    *static_cast<std::string*>(to) = values[0] != nullptr ? values[0] : "0";
    return 0;
  };
  int rc = sqlite3_db_readonly(db, "main") == 1 ? SQLITE_READONLY : SQLITE_OK;
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) {
    rc = sqlite3_exec(db, "PRAGMA user_version", read, &version, nullptr);
    if (rc == SQLITE_OK) {
      const std::string write = "PRAGMA user_version = " + version;
      rc = sqlite3_exec(db, write.c_str(), nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) err = sqlite3_errmsg(db);  // before ROLLBACK replaces it
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  } else if (rc != SQLITE_READONLY) {
    err = sqlite3_errmsg(db);
  }
  if (rc == SQLITE_OK) return true;
  if (rc == SQLITE_READONLY) err = sqlite3_errstr(SQLITE_READONLY);
  return false;
}

const char* ColumnText(sqlite3_stmt* statement, int column) {
  const unsigned char* text = sqlite3_column_text(statement, column);
  return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

// Steps through every row of sql, handing each to row. False with err := "OpenDB() SQL error: " +
// message when the statement does not prepare or a step fails.
template <class Row>
bool ForEachRow(sqlite3* db, const std::string& sql, Row row, ZR_String& err) {
  sqlite3_stmt* statement = nullptr;
  int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
  if (rc == SQLITE_OK)
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) row(statement);
  if (rc != SQLITE_DONE) err = ZR_String("OpenDB() SQL error: ") + sqlite3_errmsg(db);
  sqlite3_finalize(statement);
  return rc == SQLITE_DONE;
}

// A table made by another program (or an older one) under the same name must suit the inserts,
// or every batch would fail only after the whole folder was enrolled, or a template table store
// every image without its template. key must be the row id of an ordinary table: the inserts
// take their row ids from it, the closing counts count it and the other tables refer to it.
// SQLite makes a column the row id only when it is the table's sole primary key, declared of
// type exactly INTEGER (any case), and the table has row ids: "INTEGER PRIMARY KEY DESC",
// "INT PRIMARY KEY" and WITHOUT ROWID tables all keep their key in an index of origin 'pk'
// instead, which is what is looked for. Then every column of needed must be there (names
// compare ignoring case, as SQLite's do) and every other column must take a row without a
// value: allow NULL or have a default. A column of needed named blob (when not null) must take
// a blob: only a STRICT table refuses one, unless the column is declared BLOB or ANY. True when
// table does not exist or suits the inserts; otherwise false with err := "OpenDB() table " +
// table + " key " + key + " is not its INTEGER PRIMARY KEY", "OpenDB() table " + table + " lacks
// column " + column, "OpenDB() table " + table + " column " + column + " needs a value the
// inserts do not give", or "OpenDB() table " + table + " column " + blob + " does not take a
// BLOB", in that order.
bool SuitsInserts(sqlite3* db, const char* table, const char* key,
                  std::initializer_list<const char*> needed, const char* blob, ZR_String& err) {
  uint32_t columns = 0, key_columns = 0;
  bool integer_key = false;
  std::vector<bool> found(needed.size(), false);
  std::string demanding;  // the first other column that must be given a value
  bool typed_blob = false;  // blob's declared type is neither BLOB nor ANY
  const auto column = [&](sqlite3_stmt* statement) {
    ++columns;
    const char* name = ColumnText(statement, 1);
    const char* type = ColumnText(statement, 2);
    const bool in_key = sqlite3_column_int(statement, 5) != 0;
    if (in_key) ++key_columns;
    if (ZR_EqualsIgnoringCase(name, key)) {
      integer_key = in_key && ZR_EqualsIgnoringCase(type, "INTEGER");
      return;
    }
    size_t k = 0;
    for (const char* n : needed) {
      if (ZR_EqualsIgnoringCase(name, n)) break;
      ++k;
    }
    if (k < needed.size()) {
      found[k] = true;
      if (blob != nullptr && ZR_EqualsIgnoringCase(name, blob))
        typed_blob = !ZR_EqualsIgnoringCase(type, "BLOB") && !ZR_EqualsIgnoringCase(type, "ANY");
      return;
    }
    const bool not_null = sqlite3_column_int(statement, 3) != 0;
    const bool has_default = sqlite3_column_type(statement, 4) != SQLITE_NULL;
    if (not_null && !has_default && demanding.empty()) demanding = name;
  };
  if (!ForEachRow(db, std::string("PRAGMA table_info(") + table + ");", column, err)) return false;
  if (columns == 0) return true;  // not there yet: it will be made as the inserts need it

  bool key_index = false;
  const auto index = [&](sqlite3_stmt* statement) {
    key_index = key_index || std::string(ColumnText(statement, 3)) == "pk";
  };
  if (!ForEachRow(db, std::string("PRAGMA index_list(") + table + ");", index, err)) return false;
  if (!integer_key || key_columns != 1 || key_index) {
    err = ZR_String("OpenDB() table ") + table + " key " + key + " is not its INTEGER PRIMARY KEY";
    return false;
  }
  size_t k = 0;
  for (const char* n : needed) {
    if (!found[k++]) {
      err = ZR_String("OpenDB() table ") + table + " lacks column " + n;
      return false;
    }
  }
  if (!demanding.empty()) {
    err = ZR_String("OpenDB() table ") + table + " column " + demanding.c_str() +
          " needs a value the inserts do not give";
    return false;
  }
  if (!typed_blob) return true;
  // An ordinary table stores a blob whatever the column's type; a STRICT one fails every row.
  // PRAGMA table_list came with STRICT tables (SQLite 3.37); an older library lists nothing.
  bool strict = false;
  const auto listed = [&](sqlite3_stmt* statement) {
    strict = strict || sqlite3_column_int(statement, 5) != 0;
  };
  if (!ForEachRow(db, std::string("PRAGMA table_list(") + table + ");", listed, err)) return false;
  if (!strict) return true;
  err = ZR_String("OpenDB() table ") + table + " column " + blob + " does not take a BLOB";
  return false;
}

}  // namespace

ZR_SQliteGallery::ZR_SQliteGallery() : ZR_SQliteGallery(std::cout) {}

ZR_SQliteGallery::ZR_SQliteGallery(std::ostream& console)
    : m_verbose(0), m_db(nullptr), m_plugins(4), m_console(&console) {}

ZR_SQliteGallery::~ZR_SQliteGallery() {
  if (m_db != nullptr) sqlite3_close(m_db);
  m_db = nullptr;
  DeletePlugins();
}

bool ZR_SQliteGallery::ExecSQL(sqlite3* db, const char* sql, ZR_String& err) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  // A failure without a message (a null connection) still names its cause.
  err = ZR_String("SQL error: ") + (message != nullptr ? message : sqlite3_errmsg(db));
  sqlite3_free(message);
  return false;
}

bool ZR_SQliteGallery::OpenDB(const char* path) {
  if (m_verbose) Print(*m_console, ZR_String("Opening Gallery ") + path);
  if (m_db != nullptr) sqlite3_close(m_db);
  m_db = nullptr;
  m_path = path;
  CreateFolderPath(m_path.GetFolder().m_text);

  // The folder was made and the plug-ins are listed with every '\' read as '/': the file is
  // opened the same way, or it would land beside them.
  const std::string file = ZR_GenericPath(path);
  if (sqlite3_open_v2(file.c_str(), &m_db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                      nullptr) != SQLITE_OK) {
    m_error = ZR_String("OpenDB() Can't open: ") + m_path + sqlite3_errmsg(m_db);
    sqlite3_close(m_db);
    m_db = nullptr;
    if (m_verbose) Print(*m_console, m_error);
    return false;
  }
  sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
  ZR_String local;
  for (const char* pragma :
       {"PRAGMA cache_size = -100000", "PRAGMA foreign_keys = ON", "PRAGMA synchronous = OFF"}) {
    if (!ExecSQL(m_db, pragma, local)) {
      m_error = ZR_String("OpenDB() ") + local;
      sqlite3_close(m_db);
      m_db = nullptr;
      if (m_verbose) Print(*m_console, m_error);
      return false;
    }
  }
  if (!CanWrite(m_db, local)) {
    m_error = ZR_String("OpenDB() Can't open: ") + m_path + local;
    sqlite3_close(m_db);
    m_db = nullptr;
    if (m_verbose) Print(*m_console, m_error);
    return false;
  }
  if (m_verbose)
    Print(*m_console, ZR_String("sqlite3_threadsafe() = ") + ZR_String(sqlite3_threadsafe()));
  // Every table already there is checked before any is made, so that a refused gallery is left
  // as it was; the tables are then made in one transaction, so that a failure leaves none.
  if (!SuitsInserts(m_db, "people", "person_id", {"name_id", "thumb_id"}, nullptr, m_error) ||
      !SuitsInserts(m_db, "images", "image_id", {"person", "name", "jpeg", "amod", "thumb"},
                    nullptr, m_error)) {
    if (m_verbose) Print(*m_console, m_error);
    return false;
  }

  ZR_String plugin_errors;  // a plug-in that fails to load is no failure of the gallery
  LoadPlugins(m_path.m_text, plugin_errors);

  ZR_String failures;
  for (uint32_t i = 0; i < m_plugins.m_count; ++i) {
    const char* name = m_plugins[i]->m_name.m_text;
    if (!ZR_IsUsableTableName(name)) continue;  // CreateFRtable refuses it below
    if (SuitsInserts(m_db, name, "fr_id", {"image", "person_i", "name_i", "template"}, "template",
                     m_error))
      continue;
    failures += m_error;
    failures += "\n";
  }
  if (failures.m_length > 1) {
    m_error = failures;
    if (m_verbose) Print(*m_console, m_error);
    return false;
  }

  if (!ExecSQL(m_db, "BEGIN TRANSACTION", local)) {
    m_error = ZR_String("OpenDB() ") + local;
    if (m_verbose) Print(*m_console, m_error);
    return false;
  }
  if (!CreateTables()) {
    ExecSQL(m_db, "ROLLBACK TRANSACTION", local);
    return false;
  }
  for (uint32_t i = 0; i < m_plugins.m_count; ++i) {
    if (CreateFRtable(m_plugins[i])) continue;
    if (m_verbose)
      Print(*m_console, ZR_String("Failed to create FR table ") + m_plugins[i]->m_name);
    failures += m_error;
    failures += "\n";
  }
  if (failures.m_length == 1 && ExecSQL(m_db, "END TRANSACTION", local)) return true;
  m_error = failures.m_length == 1 ? ZR_String("OpenDB() ") + local : failures;
  ExecSQL(m_db, "ROLLBACK TRANSACTION", local);
  if (m_verbose) Print(*m_console, m_error);
  return false;
}

bool ZR_SQliteGallery::CreateTables() {
  if (m_db == nullptr) {
    m_error = "CreateTables() m_db=0";
    return false;
  }
  const char* people =
      "CREATE TABLE IF NOT EXISTS "
      "people("
      "  person_id INTEGER PRIMARY KEY"
      " ,name_id   TEXT"
      " ,thumb_id     BLOB"
      ");";
  const char* images =
      "CREATE TABLE IF NOT EXISTS "
      "images("
      "  image_id INTEGER PRIMARY KEY"
      " ,person INTEGER REFERENCES people(person_id) ON UPDATE CASCADE ON DELETE CASCADE"
      " ,name TEXT"
      " ,jpeg BLOB"
      " ,amod BLOB"
      " ,thumb BLOB"
      ");";
  ZR_String local;
  if (ExecSQL(m_db, people, local) && ExecSQL(m_db, images, local)) return true;
  m_error = ZR_String("CreateTables() ") + local;
  return false;
}

bool ZR_SQliteGallery::CreateFRtable(const ZR_FR_Plugin* p_FR) {
  if (m_db == nullptr) {
    m_error = "CreateFRtable() m_db=0";
    return false;
  }
  if (p_FR == nullptr) {
    m_error = "CreateFRtable() p_FR=0";
    return false;
  }
  if (!ZR_IsUsableTableName(p_FR->m_name.m_text)) {
    m_error = ZR_String("CreateFRtable() Error! plug-in name is not a usable table name: ") +
              p_FR->m_name;
    return false;
  }
  const ZR_String sql = ZR_String("CREATE TABLE IF NOT EXISTS ") + p_FR->m_name +
                        "("
                        "  fr_id INTEGER PRIMARY KEY"
                        " ,image INTEGER REFERENCES images(image_id) ON UPDATE CASCADE ON "
                        "DELETE CASCADE"
                        " ,person_i INTEGER"
                        " ,name_i TEXT"
                        " ,template BLOB"
                        ");";
  ZR_String local;
  if (ExecSQL(m_db, sql.m_text, local)) return true;
  m_error = ZR_String("CreateFRtable() ") + local;
  return false;
}

int32_t ZR_SQliteGallery::GetValFromDB(const char* query) {
  if (m_db == nullptr) {
    m_error = "GetValFromDB() m_db=0";
    return -1;
  }
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(m_db, query, -1, &statement, nullptr) != SQLITE_OK) {
    m_error = ZR_String("GetValFromDB() Prepare Error: ") + sqlite3_errmsg(m_db);
    sqlite3_finalize(statement);
    return -1;
  }
  if (statement == nullptr) return -1;  // no statement in the text: no row
  int32_t value = -1;
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) value = sqlite3_column_int(statement, 0);
  if (rc != SQLITE_DONE) {
    m_error = ZR_String("GetValFromDB() Step Error: ") + sqlite3_errmsg(m_db);
    value = -1;
  }
  sqlite3_finalize(statement);
  return value;
}

int32_t ZR_SQliteGallery::GetNumTemplatesDB(const char* fr_table) {
  if (fr_table == nullptr) {
    m_error = "GetNumTemplatesDB() error: fr_table=NULL";
    return -1;
  }
  if (!ZR_IsUsableTableName(fr_table)) {
    m_error = ZR_String("GetNumTemplatesDB() Error! not a usable table name: ") + fr_table;
    return -1;
  }
  const ZR_String query = ZR_String("SELECT COUNT(fr_id) FROM ") + fr_table + ";";
  return GetValFromDB(query.m_text);
}

bool ZR_SQliteGallery::BeginBatch() {
  if (m_db == nullptr) {
    m_error = "BeginBatch() m_db=0";
    return false;
  }
  ZR_String local;
  if (ExecSQL(m_db, "BEGIN TRANSACTION", local)) return true;
  m_error = ZR_String("BeginBatch() ") + local;
  return false;
}

bool ZR_SQliteGallery::InBatch() const {
  return m_db != nullptr && sqlite3_get_autocommit(m_db) == 0;
}

bool ZR_SQliteGallery::EndBatch(bool commit) {
  if (m_db == nullptr) {
    m_error = "EndBatch() m_db=0";
    return false;
  }
  ZR_String local;
  if (commit && ExecSQL(m_db, "END TRANSACTION", local)) return true;
  if (commit) m_error = ZR_String("EndBatch() ") + local;
  // A failed commit may leave the transaction open; after some failures SQLite has already
  // rolled it back, and this ROLLBACK then has nothing to do.
  ZR_String ignored;
  ExecSQL(m_db, "ROLLBACK TRANSACTION", ignored);
  return false;
}
