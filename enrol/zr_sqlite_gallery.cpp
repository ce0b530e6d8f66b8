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

// A table made by another program (or an older one) under the same name can lack columns that
// the inserts write, which would fail every batch only after the whole folder was enrolled, or
// for a template table store every image without its template. True when table has every column
// of needed (names compare ignoring case, as SQLite's do) and every other column takes a row
// without a value: it allows NULL, has a default or is the INTEGER PRIMARY KEY. Otherwise false
// with err := "OpenDB() table " + table + " lacks column " + column, or "OpenDB() table " +
// table + " column " + column + " needs a value the inserts do not give".
bool HasColumnsForInserts(sqlite3* db, const char* table, std::initializer_list<const char*> needed,
                          ZR_String& err) {
  const std::string sql = std::string("PRAGMA table_info(") + table + ");";
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    err = ZR_String("OpenDB() SQL error: ") + sqlite3_errmsg(db);
    sqlite3_finalize(statement);
    return false;
  }
  std::vector<bool> found(needed.size(), false);
  std::string demanding;  // the first other column that must be given a value
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    const char* name = reinterpret_cast<const char*>(sqlite3_column_text(statement, 1));
    const char* type = reinterpret_cast<const char*>(sqlite3_column_text(statement, 2));
    size_t k = 0;
    for (const char* column : needed) {
      if (ZR_EqualsIgnoringCase(name, column)) break;
      ++k;
    }
    if (k < needed.size()) {
      found[k] = true;
      continue;
    }
    const bool not_null = sqlite3_column_int(statement, 3) != 0;
    const bool has_default = sqlite3_column_type(statement, 4) != SQLITE_NULL;
    const bool row_id =
        sqlite3_column_int(statement, 5) != 0 && ZR_EqualsIgnoringCase(type, "INTEGER");
    if (not_null && !has_default && !row_id && demanding.empty() && name != nullptr)
      demanding = name;
  }
  if (rc != SQLITE_DONE) err = ZR_String("OpenDB() SQL error: ") + sqlite3_errmsg(db);
  sqlite3_finalize(statement);
  if (rc != SQLITE_DONE) return false;
  size_t k = 0;
  for (const char* column : needed) {
    if (!found[k++]) {
      err = ZR_String("OpenDB() table ") + table + " lacks column " + column;
      return false;
    }
  }
  if (demanding.empty()) return true;
  err = ZR_String("OpenDB() table ") + table + " column " + demanding.c_str() +
        " needs a value the inserts do not give";
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
  if (!CreateTables()) return false;
  if (!HasColumnsForInserts(m_db, "people", {"name_id", "thumb_id"}, m_error) ||
      !HasColumnsForInserts(m_db, "images", {"person", "name", "jpeg", "amod", "thumb"}, m_error)) {
    if (m_verbose) Print(*m_console, m_error);
    return false;
  }

  ZR_String plugin_errors;  // a plug-in that fails to load is no failure of the gallery
  LoadPlugins(m_path.m_text, plugin_errors);

  ZR_String failures;
  for (uint32_t i = 0; i < m_plugins.m_count; ++i) {
    if (!CreateFRtable(m_plugins[i])) {
      if (m_verbose)
        Print(*m_console, ZR_String("Failed to create FR table ") + m_plugins[i]->m_name);
    } else if (HasColumnsForInserts(m_db, m_plugins[i]->m_name.m_text,
                                    {"image", "person_i", "name_i", "template"}, m_error)) {
      continue;
    }
    failures += m_error;
    failures += "\n";
  }
  if (failures.m_length == 1) return true;
  m_error = failures;
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
