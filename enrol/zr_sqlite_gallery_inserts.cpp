// enrol/zr_sqlite_gallery_inserts.cpp: the three batch inserts. Each runs one prepared statement
// over its rows inside one transaction, or inside a savepoint when BeginBatch opened an outer
// transaction, stops at the first row that fails or is not written and rolls the rows back,
// naming that row's cause.
// A full disk or an I/O error makes SQLite roll back the whole outer transaction by itself: a
// later row would then be committed on its own, so no row is stepped after a failure. Blobs and
// texts are bound without copies: the batch outlives the statement.
#include "enrol/zr_sqlite_gallery.h"

#include <sqlite3.h>

#include <limits>
#include <string>

#include "enrol/internal/table_name.h"

namespace {

// One insert operation: prepare, open the transaction, step the rows, close it. The first row
// that fails keeps its cause for the operation's error text.
class BatchInsert {
 public:
  BatchInsert(sqlite3* db, const ZR_String& op) : m_db(db), m_op(op) {}
  BatchInsert(const BatchInsert&) = delete;
  BatchInsert& operator=(const BatchInsert&) = delete;
  ~BatchInsert() { sqlite3_finalize(m_statement); }

  // Prepares sql and opens the transaction (a savepoint inside an outer one). False with err.
  bool Start(const char* sql, ZR_String& err) {
    if (sqlite3_prepare_v2(m_db, sql, -1, &m_statement, nullptr) != SQLITE_OK ||
        m_statement == nullptr) {
      err = m_op + " Prepare Error: " + sqlite3_errmsg(m_db);
      return false;
    }
    m_nested = sqlite3_get_autocommit(m_db) == 0;
    ZR_String local;
    if (ZR_SQliteGallery::ExecSQL(m_db, m_nested ? "SAVEPOINT zr_rows" : "BEGIN TRANSACTION",
                                  local))
      return true;
    err = m_op + " " + local;
    return false;
  }

  // The binds of one row; a value SQLite refuses (too long, no memory) fails the row rather than
  // leaving the parameter NULL.
  void BindInt(int index, int64_t value) { Check(sqlite3_bind_int64(m_statement, index, value)); }
  void BindText(int index, const ZR_String& text) {
    Check(sqlite3_bind_text(m_statement, index, text.m_text, -1, SQLITE_STATIC));
  }
  // An empty array, or an entry the list does not hold, binds NULL.
  void BindBlob(int index, const ZR_List<ZR_Array<unsigned char>>& list, int64_t entry) {
    const ZR_Array<unsigned char>* blob =
        entry >= 0 && entry < int64_t(list.m_count) ? &list[uint32_t(entry)] : nullptr;
    if (blob == nullptr || blob->m_count == 0)
      Check(sqlite3_bind_null(m_statement, index));
    else
      Check(sqlite3_bind_blob64(m_statement, index, blob->Block(), blob->m_count, SQLITE_STATIC));
  }

  // Writes the bound row. True with its row id; false marks the operation failed. A statement
  // that completes without inserting (a trigger's RAISE(IGNORE), ON CONFLICT IGNORE) leaves the
  // last row id at the previous row's, which would link later rows to the wrong person, so it
  // fails too. A row id past the 32-bit fields of the records counts as a failure, so no link
  // can be cut short. Once a row has failed no later row is stepped.
  bool Row(int32_t& row_id) {
    bool written = false;
    if (!m_bind_failed && !m_failed) {
      if (sqlite3_step(m_statement) != SQLITE_DONE) {
        Fail(std::string(" Step Error: ") + sqlite3_errmsg(m_db));
      } else if (sqlite3_changes(m_db) != 1) {
        Fail(" no row written");
      } else {
        const sqlite3_int64 id = sqlite3_last_insert_rowid(m_db);
        written =
            id >= std::numeric_limits<int32_t>::min() && id <= std::numeric_limits<int32_t>::max();
        if (written)
          row_id = static_cast<int32_t>(id);
        else
          Fail(" Error! row id past 32 bits: " + std::to_string(id));
      }
    }
    sqlite3_reset(m_statement);
    m_bind_failed = false;
    return written;
  }

  // Commits when every row was written, else rolls back. True when the rows are in.
  bool Finish(ZR_String& err) {
    sqlite3_finalize(m_statement);
    m_statement = nullptr;
    ZR_String local;
    if (!m_failed &&
        ZR_SQliteGallery::ExecSQL(m_db, m_nested ? "RELEASE zr_rows" : "END TRANSACTION", local))
      return true;
    err = m_failed ? m_cause : m_op + " " + local;
    ZR_String ignored;
    if (m_nested) {
      ZR_SQliteGallery::ExecSQL(m_db, "ROLLBACK TO zr_rows", ignored);
      ZR_SQliteGallery::ExecSQL(m_db, "RELEASE zr_rows", ignored);
    } else {
      ZR_SQliteGallery::ExecSQL(m_db, "ROLLBACK TRANSACTION", ignored);
    }
    return false;
  }

 private:
  sqlite3* m_db;
  ZR_String m_op;
  sqlite3_stmt* m_statement = nullptr;
  bool m_nested = false;
  bool m_bind_failed = false;  // in the row being bound
  bool m_failed = false;       // in any row so far
  ZR_String m_cause;           // the first failed row's text

  void Check(int rc) {
    if (rc == SQLITE_OK || m_bind_failed) return;
    m_bind_failed = true;
    Fail(std::string(" Bind Error: ") + sqlite3_errmsg(m_db));
  }
  void Fail(const std::string& what) {
    if (!m_failed) m_cause = m_op + what.c_str();
    m_failed = true;
  }
};

// The checks every insert makes first. False with err := op + " m_db=0" or op + " no people".
bool CanInsert(sqlite3* db, const ZR_List<ZR_AddPersonFRT>& batch, const ZR_String& op,
               ZR_String& err) {
  if (db == nullptr) {
    err = op + " m_db=0";
    return false;
  }
  if (batch.m_count == 0) {
    err = op + " no people";
    return false;
  }
  return true;
}

}  // namespace

bool ZR_SQliteGallery::AddToPeopleTable(ZR_List<ZR_AddPersonFRT>& batch) {
  const ZR_String op("AddToPeopleTable()");
  if (!CanInsert(m_db, batch, op, m_error)) return false;
  BatchInsert insert(m_db, op);
  if (!insert.Start("INSERT INTO people (name_id, thumb_id) VALUES (?, ?);", m_error)) return false;
  for (uint32_t r = 0; r < batch.m_count; ++r) {
    ZR_AddPersonFRT& person = batch[r];
    if (person.m_face_jpegs.m_count == 0) continue;
    const int32_t best = person.m_best_image;
    const bool best_ok = best >= 0 && uint32_t(best) < person.m_thumbnails.m_count;
    insert.BindText(1, person.m_name);
    insert.BindBlob(2, person.m_thumbnails, best_ok ? best : 0);
    insert.Row(person.m_person_id);
  }
  return insert.Finish(m_error);
}

bool ZR_SQliteGallery::AddToImagesTable(ZR_List<ZR_AddPersonFRT>& batch) {
  const ZR_String op("AddToImagesTable()");
  if (!CanInsert(m_db, batch, op, m_error)) return false;
  BatchInsert insert(m_db, op);
  if (!insert.Start(
          "INSERT INTO images (person, name, jpeg, amod, thumb) VALUES (?1, ?2, ?3, ?4, ?5);",
          m_error))
    return false;
  for (uint32_t r = 0; r < batch.m_count; ++r) {
    ZR_AddPersonFRT& person = batch[r];
    const uint32_t n = person.m_face_jpegs.m_count;
    if (n == 0) continue;
    person.m_image_ids.Resize(0, int32_t(n) - 1);
    for (uint32_t j = 0; j < n; ++j) person.m_image_ids[int32_t(j)] = -1;
    for (uint32_t j = 0; j < n; ++j) {
      insert.BindInt(1, person.m_person_id);
      insert.BindText(2, person.m_name);
      insert.BindBlob(3, person.m_face_jpegs, j);
      insert.BindBlob(4, person.m_landmark_blobs, j);
      insert.BindBlob(5, person.m_thumbnails, j);
      insert.Row(person.m_image_ids[int32_t(j)]);
    }
  }
  return insert.Finish(m_error);
}

bool ZR_SQliteGallery::AddToFRTable(ZR_List<ZR_AddPersonFRT>& batch, const char* name) {
  const ZR_String table(name);
  const ZR_String op = table + " AddToFRTable()";
  if (!CanInsert(m_db, batch, op, m_error)) return false;
  if (!ZR_IsUsableTableName(table.m_text)) {
    m_error = op + " Error! not a usable table name";
    return false;
  }
  BatchInsert insert(m_db, op);
  const ZR_String sql = ZR_String("INSERT INTO ") + table +
                        " (image, person_i, name_i, template) VALUES (?1, ?2, ?3, ?4);";
  if (!insert.Start(sql.m_text, m_error)) return false;
  for (uint32_t r = 0; r < batch.m_count; ++r) {
    ZR_AddPersonFRT& person = batch[r];
    const uint32_t n = person.m_face_jpegs.m_count;
    for (uint32_t j = 0; j < n && j < person.m_template_sets.m_count; ++j) {
      const FRpluginTemplateSet& set = person.m_template_sets[j];
      const int32_t k = set.EntryToStore(table);
      if (k < 0) continue;
      const bool has_id = int64_t(j) <= int64_t(person.m_image_ids.m_hi) &&
                          int64_t(j) >= int64_t(person.m_image_ids.m_lo);
      insert.BindInt(1, has_id ? person.m_image_ids[int32_t(j)] : -1);
      insert.BindInt(2, person.m_person_id);
      insert.BindText(3, person.m_name);
      insert.BindBlob(4, set.m_templates, k);
      int32_t fr_id;
      insert.Row(fr_id);
    }
  }
  return insert.Finish(m_error);
}
