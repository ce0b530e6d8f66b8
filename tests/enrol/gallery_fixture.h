// tests/enrol/gallery_fixture.h: what the plug-in and gallery tests share: a data folder whose
// FR/ holds copies of the test plug-ins, a probe that reads a plug-in copy's call log through its
// own handle, hand-made images, models and result records, and reading a gallery file back.
#ifndef TESTS_ENROL_GALLERY_FIXTURE_H
#define TESTS_ENROL_GALLERY_FIXTURE_H

#include <dlfcn.h>
#include <sqlite3.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "enrol/zr_add_person_frt.h"
#include "annotation/zr_anno_model2d.h"
#include "image/zr_image.h"
#include "tests/support/zr_temp_folder.h"

// A data folder with an FR/ folder for plug-ins and the gallery.
class ZR_DataFolder {
 public:
  ZR_DataFolder() { std::filesystem::create_directories(Fr()); }
  std::string Path() const { return m_temp.Path(); }
  std::string Fr() const { return m_temp / "FR"; }
  std::string Gallery() const { return Fr() + "/g.gal"; }
  // Copies the built plug-in at built to FR/<file>; returns the copy's path.
  std::string AddPlugin(const char* built, const std::string& file) const {
    const std::string to = Fr() + "/" + file;
    std::filesystem::copy_file(built, to, std::filesystem::copy_options::overwrite_existing);
    return to;
  }

 private:
  ZR_TempFolder m_temp;
};

// The test plug-in's own exports, read through a handle of the test's own. dlopen counts
// references, so the state outlives the loader's dlclose of a refused library.
class ZR_PluginProbe {
 public:
  explicit ZR_PluginProbe(const std::string& path) : m_handle(dlopen(path.c_str(), RTLD_NOW)) {}
  ~ZR_PluginProbe() {
    if (m_handle != nullptr) dlclose(m_handle);
  }
  ZR_PluginProbe(const ZR_PluginProbe&) = delete;
  ZR_PluginProbe& operator=(const ZR_PluginProbe&) = delete;

  bool Loaded() const { return m_handle != nullptr; }
  std::string CallLog() const { return Call<const char*>("ZRTP_CallLog"); }
  int32_t SizeCalls() const { return Call<int32_t>("ZRTP_SizeCalls"); }
  int32_t GenerateCalls() const { return Call<int32_t>("ZRTP_GenerateCalls"); }

 private:
  template <class R>
  R Call(const char* name) const {
    auto f = reinterpret_cast<R (*)()>(dlsym(m_handle, name));
    return f();
  }
  void* m_handle;
};

inline ZR_Array<unsigned char> ZR_Bytes(const std::string& bytes) {
  ZR_Array<unsigned char> a;
  a.Resize(int32_t(bytes.size()));
  if (!bytes.empty()) std::memcpy(a.Block(), bytes.data(), bytes.size());
  return a;
}

inline std::string ZR_BytesOf(const ZR_Array<unsigned char>& a) {
  return a.m_count == 0 ? std::string()
                        : std::string(reinterpret_cast<const char*>(a.Block()), a.m_count);
}

// A model of two annotations with 3 and 2 points.
inline ZR_AnnoModel2D ZR_TestModel() {
  ZR_AnnoModel2D model;
  ZR_Annotation2D face;
  face.m_name = "FACE";
  for (int i = 0; i < 3; ++i) face.Add(ZR_Vector2D(0.1f * i, 0.2f));
  model.Add(face);
  ZR_Annotation2D nose;
  nose.m_name = "NOSE";
  for (int i = 0; i < 2; ++i) nose.Add(ZR_Vector2D(0.5f, 0.1f * i));
  model.Add(nose);
  return model;
}

// The stored CREATE texts of the gallery's tables, as sqlite_master keeps them.
inline const char* const ZR_PEOPLE_SQL =
    "CREATE TABLE people(  person_id INTEGER PRIMARY KEY ,name_id   TEXT ,thumb_id     BLOB)";
inline const char* const ZR_IMAGES_SQL =
    "CREATE TABLE images(  image_id INTEGER PRIMARY KEY ,person INTEGER REFERENCES "
    "people(person_id) ON UPDATE CASCADE ON DELETE CASCADE ,name TEXT ,jpeg BLOB ,amod BLOB "
    ",thumb BLOB)";
inline std::string ZR_FrTableSql(const std::string& plugin) {
  return "CREATE TABLE " + plugin +
         "(  fr_id INTEGER PRIMARY KEY ,image INTEGER REFERENCES images(image_id) ON UPDATE "
         "CASCADE ON DELETE CASCADE ,person_i INTEGER ,name_i TEXT ,template BLOB)";
}

// The template the good test plug-in makes: "ZRT1", rows, cols, annotation count, point count,
// then its init text.
inline std::string ZR_ExpectedTemplate(int32_t rows, int32_t cols, int32_t annotations,
                                       int32_t points, const std::string& init_text) {
  std::string t = "ZRT1";
  for (int32_t v : {rows, cols, annotations, points})
    t.append(reinterpret_cast<const char*>(&v), 4);
  return t + init_text;
}

// Rows of a query on a gallery file, each value as text: integers in decimal, texts and blobs
// as their bytes, NULL as nullopt.
using ZR_Row = std::vector<std::optional<std::string>>;
inline std::vector<ZR_Row> ZR_Query(const std::string& path, const std::string& sql) {
  std::vector<ZR_Row> rows;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return rows;
  }
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
    while (sqlite3_step(statement) == SQLITE_ROW) {
      ZR_Row row;
      for (int c = 0; c < sqlite3_column_count(statement); ++c) {
        if (sqlite3_column_type(statement, c) == SQLITE_NULL) {
          row.emplace_back();
          continue;
        }
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, c));
        row.emplace_back(
            std::string(bytes == nullptr ? "" : bytes, sqlite3_column_bytes(statement, c)));
      }
      rows.push_back(row);
    }
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return rows;
}

// Runs SQL on a gallery file through a connection of its own; false with the message in err.
inline bool ZR_Exec(const std::string& path, const std::string& sql, std::string* err = nullptr) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK;
  char* message = nullptr;
  ok = ok && sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK;
  if (!ok && err != nullptr) *err = message != nullptr ? message : sqlite3_errmsg(db);
  sqlite3_free(message);
  sqlite3_close(db);
  return ok;
}

#endif  // TESTS_ENROL_GALLERY_FIXTURE_H
