// tests/enrol/zr_sqlite_gallery_test.cpp: the gallery file: its exact schema, reopening, one
// batch of hand-built records through all three inserts, rollback when a row or the commit fails,
// the open failures and the texts of every operation on a closed gallery, paths with '\',
// galleries that cannot be written, and other writers on the same file.
#include "enrol/zr_sqlite_gallery.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/zr_dynamic_library.h"
#include "tests/enrol/gallery_fixture.h"

namespace {

const char* const kPeopleSql = ZR_PEOPLE_SQL;
const char* const kImagesSql = ZR_IMAGES_SQL;
const std::string kAlphaSql = ZR_FrTableSql("Alpha");

std::optional<std::string> Text(const char* s) {
  return std::string(s);
}

FRpluginTemplateSet Templates(std::vector<std::string> names, std::vector<int32_t> status,
                              const std::string& bytes) {
  FRpluginTemplateSet set;
  for (size_t k = 0; k < names.size(); ++k) {
    set.m_names.Add(names[k].c_str());
    set.m_templates.Add(ZR_Bytes(status[k] == 1 ? bytes + names[k] : std::string()));
    set.m_status.Add(status[k]);
  }
  return set;
}

// "A": two images, best 1; "B": no image; "C": one image, best -1, an empty landmark blob. The
// template sets ask Alpha's table for rows of statuses 1 and 0 (A) and 1 (C).
ZR_List<ZR_AddPersonFRT> Batch() {
  ZR_List<ZR_AddPersonFRT> batch;
  ZR_AddPersonFRT a;
  a.m_person_id = 1;
  a.m_name = "A";
  for (const char* n : {"0", "1"}) {
    a.m_thumbnails.Add(ZR_Bytes(std::string("thumbA") + n));
    a.m_face_jpegs.Add(ZR_Bytes(std::string("jpegA") + n));
    a.m_landmark_blobs.Add(ZR_Bytes(std::string("amodA") + n));
  }
  a.m_best_image = 1;
  a.m_template_sets.Add(Templates({"Beta", "Alpha"}, {-1, 1}, "tA0"));
  a.m_template_sets.Add(Templates({"Alpha"}, {0}, "tA1"));
  batch.Add(a);

  ZR_AddPersonFRT b;
  b.m_person_id = 2;
  b.m_name = "B";
  batch.Add(b);

  ZR_AddPersonFRT c;
  c.m_person_id = 3;
  c.m_name = "C";
  c.m_thumbnails.Add(ZR_Bytes("thumbC0"));
  c.m_face_jpegs.Add(ZR_Bytes("jpegC0"));
  c.m_landmark_blobs.Add(ZR_Bytes(""));
  c.m_template_sets.Add(Templates({"Alpha", "Alpha"}, {1, 1}, "tC0"));
  batch.Add(c);
  return batch;
}

ZR_FR_Plugin* Named(const char* name) {
  ZR_FR_Plugin* plugin = new ZR_FR_Plugin;
  plugin->m_name = name;
  return plugin;
}

size_t Count(const std::string& gallery, const std::string& table) {
  return ZR_Query(gallery, "SELECT * FROM " + table + ";").size();
}

}  // namespace

TEST(ZrSqliteGallery, NewFileHoldsExactlyTheSchemaAndReopenKeepsRows) {
  ZR_TempFolder temp;
  const std::string path = temp / "data/FR/g.gal";  // the folders do not exist yet
  {
    ZR_SQliteGallery gallery;
    ASSERT_TRUE(gallery.OpenDB(path.c_str())) << gallery.m_error.m_text;
    ZR_List<ZR_AddPersonFRT> batch = Batch();
    ASSERT_TRUE(gallery.AddToPeopleTable(batch));
  }
  const std::vector<ZR_Row> schema =
      ZR_Query(path, "SELECT sql FROM sqlite_master ORDER BY rowid;");
  ASSERT_EQ(2u, schema.size());
  EXPECT_EQ(Text(kPeopleSql), schema[0][0]);
  EXPECT_EQ(Text(kImagesSql), schema[1][0]);

  ZR_SQliteGallery gallery;
  ASSERT_TRUE(gallery.OpenDB(path.c_str()));
  ZR_List<ZR_AddPersonFRT> batch = Batch();
  ASSERT_TRUE(gallery.AddToPeopleTable(batch));
  EXPECT_EQ(3, batch[0].m_person_id);  // rows 1 and 2 came from the first open
  EXPECT_EQ(4, batch[2].m_person_id);
  EXPECT_EQ(4, gallery.GetValFromDB("SELECT COUNT(person_id) FROM people;"));
}

TEST(ZrSqliteGallery, StoresOneBatchInAllThreeTables) {
  ZR_DataFolder data;
  data.AddPlugin(ZR_TEST_PLUGIN_ALPHA, "Alpha.so");
  ZR_SQliteGallery gallery;
  ASSERT_TRUE(gallery.OpenDB(data.Gallery().c_str())) << gallery.m_error.m_text;
  const std::vector<ZR_Row> schema = ZR_Query(data.Gallery(), "SELECT sql FROM sqlite_master;");
  ASSERT_EQ(3u, schema.size());
  EXPECT_EQ(Text(kAlphaSql.c_str()), schema[2][0]);

  ZR_List<ZR_AddPersonFRT> batch = Batch();
  ASSERT_TRUE(gallery.AddToPeopleTable(batch));
  ASSERT_TRUE(gallery.AddToImagesTable(batch));
  ASSERT_TRUE(gallery.AddToFRTable(batch, "Alpha"));

  EXPECT_EQ(1, batch[0].m_person_id);
  EXPECT_EQ(2, batch[1].m_person_id);  // no image: no row, the number stays
  EXPECT_EQ(2, batch[2].m_person_id);
  const std::vector<ZR_Row> people =
      ZR_Query(data.Gallery(), "SELECT person_id, name_id, thumb_id FROM people;");
  const std::vector<ZR_Row> expected_people = {{Text("1"), Text("A"), Text("thumbA1")},
                                               {Text("2"), Text("C"), Text("thumbC0")}};
  EXPECT_EQ(expected_people, people);

  ASSERT_EQ(2u, batch[0].m_image_ids.m_count);
  EXPECT_EQ(1, batch[0].m_image_ids[0]);
  EXPECT_EQ(2, batch[0].m_image_ids[1]);
  EXPECT_EQ(0u, batch[1].m_image_ids.m_count);
  ASSERT_EQ(1u, batch[2].m_image_ids.m_count);
  EXPECT_EQ(3, batch[2].m_image_ids[0]);
  const std::vector<ZR_Row> images =
      ZR_Query(data.Gallery(), "SELECT image_id, person, name, jpeg, amod, thumb FROM images;");
  const std::vector<ZR_Row> expected_images = {
      {Text("1"), Text("1"), Text("A"), Text("jpegA0"), Text("amodA0"), Text("thumbA0")},
      {Text("2"), Text("1"), Text("A"), Text("jpegA1"), Text("amodA1"), Text("thumbA1")},
      {Text("3"), Text("2"), Text("C"), Text("jpegC0"), std::nullopt, Text("thumbC0")}};
  EXPECT_EQ(expected_images, images);

  // Status 1 gives a row, 0 and -1 none, and only the first entry of a name counts.
  const std::vector<ZR_Row> templates =
      ZR_Query(data.Gallery(), "SELECT fr_id, image, person_i, name_i, template FROM Alpha;");
  const std::vector<ZR_Row> expected_templates = {
      {Text("1"), Text("1"), Text("1"), Text("A"), Text("tA0Alpha")},
      {Text("2"), Text("3"), Text("2"), Text("C"), Text("tC0Alpha")}};
  EXPECT_EQ(expected_templates, templates);
  EXPECT_EQ(2, gallery.GetNumTemplatesDB("Alpha"));
  EXPECT_EQ(3, gallery.GetValFromDB("SELECT COUNT(image_id) FROM images;"));
}

// A trigger refuses the inserts of one table, or skips C's row (RAISE(IGNORE) completes the
// statement without a row and without an error, and C would take A's row id): that operation
// writes nothing and fails with its cause; inside BeginBatch a failed images insert also takes
// the people rows with it.
TEST(ZrSqliteGallery, RollsBackEveryRowOfAFailedOperation) {
  const char* const abort = "BEGIN SELECT RAISE(ABORT,'x'); END;";
  const struct {
    const char* table;
    std::string trigger;  // after "CREATE TRIGGER refuse BEFORE INSERT ON " + table
    bool batch_unit;
    bool people, images, fr;  // expected results
    size_t people_rows, image_rows, fr_rows;
    const char* error;
  } cases[] = {
      {"people", abort, false, false, false, false, 0, 0, 0, "AddToPeopleTable() Step Error: x"},
      {"images", abort, false, true, false, false, 2, 0, 0, "AddToImagesTable() Step Error: x"},
      {"images", abort, true, true, false, false, 0, 0, 0, "AddToImagesTable() Step Error: x"},
      {"Alpha", abort, false, true, true, false, 2, 3, 0, "Alpha AddToFRTable() Step Error: x"},
      {"Alpha", abort, true, true, true, false, 2, 3, 0, "Alpha AddToFRTable() Step Error: x"},
      {"people", "WHEN NEW.name_id = 'C' BEGIN SELECT RAISE(IGNORE); END;", false, false, false,
       false, 0, 0, 0, "AddToPeopleTable() no row written"},
      {"images", "WHEN NEW.name = 'C' BEGIN SELECT RAISE(IGNORE); END;", true, true, false, false,
       0, 0, 0, "AddToImagesTable() no row written"},
      {"Alpha", "WHEN NEW.name_i = 'C' BEGIN SELECT RAISE(IGNORE); END;", true, true, true, false,
       2, 3, 0, "Alpha AddToFRTable() no row written"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.trigger);
    ZR_DataFolder data;
    data.AddPlugin(ZR_TEST_PLUGIN_ALPHA, "Alpha.so");
    ZR_SQliteGallery gallery;
    ASSERT_TRUE(gallery.OpenDB(data.Gallery().c_str()));
    ASSERT_TRUE(ZR_Exec(data.Gallery(), std::string("CREATE TRIGGER refuse BEFORE INSERT ON ") +
                                            c.table + " " + c.trigger));
    gallery.m_error = "before";
    ZR_List<ZR_AddPersonFRT> batch = Batch();
    if (c.batch_unit) {
      ASSERT_TRUE(gallery.BeginBatch());
    }
    const bool people = gallery.AddToPeopleTable(batch);
    const bool images = people && gallery.AddToImagesTable(batch);
    if (c.batch_unit) {
      EXPECT_EQ(images, gallery.EndBatch(images)) << c.table;
    }
    const bool fr = images && gallery.AddToFRTable(batch, "Alpha");
    EXPECT_EQ(c.people, people) << c.table;
    EXPECT_EQ(c.images, images) << c.table;
    EXPECT_EQ(c.fr, fr) << c.table;
    EXPECT_STREQ(c.error, gallery.m_error.m_text) << c.table;
    EXPECT_EQ(c.people_rows, Count(data.Gallery(), "people")) << c.table << c.batch_unit;
    EXPECT_EQ(c.image_rows, Count(data.Gallery(), "images")) << c.table << c.batch_unit;
    EXPECT_EQ(c.fr_rows, Count(data.Gallery(), "Alpha")) << c.table;
    // The next batch goes in: no transaction was left open.
    ZR_Exec(data.Gallery(), "DROP TRIGGER refuse;");
    ZR_List<ZR_AddPersonFRT> next = Batch();
    EXPECT_TRUE(gallery.AddToPeopleTable(next)) << c.table;
  }
}

// A second run of the same people into a people table whose names are unique: ON CONFLICT
// IGNORE writes no row, so the run fails instead of filing its images under a row id that is not
// theirs (0 on a new connection); ON CONFLICT REPLACE writes the row, as the schema asks, and
// takes the earlier person's images with it.
TEST(ZrSqliteGallery, AUniqueNameThatIgnoresTheRowFailsAndOneThatReplacesItStores) {
  const struct {
    const char* conflict;
    const char* person;  // the images table's person column
    bool stored;
    const char* error;
    std::vector<ZR_Row> images;  // image_id, person after the second run
  } cases[] = {
      // Without the foreign key nothing else stops an image filed under person 0.
      {"IGNORE",
       "person INTEGER",
       false,
       "AddToPeopleTable() no row written",
       {{Text("1"), Text("1")}, {Text("2"), Text("1")}, {Text("3"), Text("2")}}},
      {"REPLACE",
       "person INTEGER REFERENCES people(person_id) ON DELETE CASCADE",
       true,
       "",
       {{Text("1"), Text("3")}, {Text("2"), Text("3")}, {Text("3"), Text("4")}}},
  };
  for (const auto& c : cases) {
    ZR_DataFolder data;
    const std::string tables =
        std::string("CREATE TABLE images(image_id INTEGER PRIMARY KEY, ") + c.person +
        ", name TEXT, jpeg BLOB, amod BLOB, thumb BLOB); CREATE TABLE people(person_id INTEGER "
        "PRIMARY KEY, thumb_id BLOB, name_id TEXT UNIQUE ON CONFLICT " +
        c.conflict + ");";
    ASSERT_TRUE(ZR_Exec(data.Gallery(), tables));
    for (int run = 0; run < 2; ++run) {
      ZR_SQliteGallery gallery;
      ASSERT_TRUE(gallery.OpenDB(data.Gallery().c_str())) << gallery.m_error.m_text;
      ZR_List<ZR_AddPersonFRT> batch = Batch();
      const bool stored = gallery.BeginBatch() && gallery.AddToPeopleTable(batch) &&
                          gallery.AddToImagesTable(batch) && gallery.EndBatch(true);
      if (!stored) gallery.EndBatch(false);
      EXPECT_EQ(run == 0 || c.stored, stored) << c.conflict << run;
      if (run == 1) {
        EXPECT_STREQ(c.error, gallery.m_error.m_text) << c.conflict;
      }
    }
    EXPECT_EQ(c.images, ZR_Query(data.Gallery(), "SELECT image_id, person FROM images;"))
        << c.conflict;
    EXPECT_EQ(2u, Count(data.Gallery(), "people")) << c.conflict;
  }
}

// A commit that fails (a deferred foreign key, checked only at COMMIT) is rolled back and
// reported, never taken for success.
TEST(ZrSqliteGallery, AFailedCommitRollsBackAndFails) {
  ZR_DataFolder data;
  ZR_SQliteGallery gallery;
  ASSERT_TRUE(gallery.OpenDB(data.Gallery().c_str()));
  ASSERT_TRUE(ZR_Exec(data.Gallery(),
                      "CREATE TABLE trap(x INTEGER REFERENCES images(image_id) DEFERRABLE "
                      "INITIALLY DEFERRED);"
                      "CREATE TRIGGER spring AFTER INSERT ON people BEGIN INSERT INTO trap "
                      "VALUES(-5); END;"));
  ZR_List<ZR_AddPersonFRT> batch = Batch();
  EXPECT_FALSE(gallery.AddToPeopleTable(batch));
  EXPECT_STREQ("AddToPeopleTable() SQL error: FOREIGN KEY constraint failed",
               gallery.m_error.m_text);
  EXPECT_EQ(0u, Count(data.Gallery(), "people"));

  ASSERT_TRUE(gallery.BeginBatch());
  EXPECT_TRUE(gallery.AddToPeopleTable(batch));  // inside the batch the check waits for the end
  EXPECT_FALSE(gallery.EndBatch(true));
  EXPECT_STREQ("EndBatch() SQL error: FOREIGN KEY constraint failed", gallery.m_error.m_text);
  EXPECT_EQ(0u, Count(data.Gallery(), "people"));
  ZR_Exec(data.Gallery(), "DROP TRIGGER spring;");
  EXPECT_TRUE(gallery.AddToPeopleTable(batch));
}

// A blob SQLite refuses to bind (longer than its length limit) fails the row instead of being
// stored as NULL.
TEST(ZrSqliteGallery, ABlobTheDatabaseRefusesFailsTheRow) {
  ZR_DataFolder data;
  ZR_SQliteGallery gallery;
  ASSERT_TRUE(gallery.OpenDB(data.Gallery().c_str()));
  ZR_List<ZR_AddPersonFRT> batch;
  ZR_AddPersonFRT person;
  person.m_name = "A";
  person.m_face_jpegs.Add(ZR_Bytes("j"));
  person.m_thumbnails.Add(ZR_Bytes("a thumbnail of 24 bytes"));
  batch.Add(person);
  // The row itself (name "A", thumbnail NULL) would fit in the limit; the thumbnail does not.
  sqlite3_limit(gallery.m_db, SQLITE_LIMIT_LENGTH, 12);
  EXPECT_FALSE(gallery.AddToPeopleTable(batch));
  EXPECT_STREQ("AddToPeopleTable() Bind Error: string or blob too big", gallery.m_error.m_text);
  EXPECT_EQ(0u, Count(data.Gallery(), "people"));
}

TEST(ZrSqliteGallery, OpenFailuresGiveTheirTexts) {
  const struct {
    const char* what;
    std::string (*prepare)(const ZR_DataFolder&);  // returns the expected text
    bool closed;
  } cases[] = {
      {"the file is a folder",
       [](const ZR_DataFolder& d) {
         std::filesystem::create_directories(d.Gallery());
         return "OpenDB() Can't open: " + d.Gallery() + "unable to open database file";
       },
       true},
      {"the file is text",
       [](const ZR_DataFolder& d) {
         FILE* f = std::fopen(d.Gallery().c_str(), "w");
         std::fputs("this is not a database, but it is long enough to look like a file", f);
         std::fclose(f);
         return std::string("OpenDB() SQL error: file is not a database");
       },
       true},
      {"an index is named images",
       [](const ZR_DataFolder& d) {
         ZR_Exec(d.Gallery(), "CREATE TABLE t(a); CREATE INDEX images ON t(a);");
         return std::string("CreateTables() SQL error: there is already an index named images");
       },
       false},
      {"a plug-in is named 1abc",
       [](const ZR_DataFolder& d) {
         d.AddPlugin(ZR_TEST_PLUGIN_ALPHA, "Alpha.so");
         d.AddPlugin(ZR_TEST_PLUGIN_BAD1, "Bad1.so");
         return std::string(
             "CreateFRtable() Error! plug-in name is not a usable table name: 1abc\n");
       },
       false},
  };
  for (const auto& c : cases) {
    ZR_DataFolder data;
    const std::string expected = c.prepare(data);
    const char* const schema = "SELECT type, name FROM sqlite_master ORDER BY name;";
    const std::vector<ZR_Row> before = ZR_Query(data.Gallery(), schema);
    ZR_SQliteGallery gallery;
    EXPECT_FALSE(gallery.OpenDB(data.Gallery().c_str())) << c.what;
    EXPECT_EQ(expected, std::string(gallery.m_error.m_text)) << c.what;
    EXPECT_EQ(c.closed, gallery.m_db == nullptr) << c.what;
    EXPECT_EQ(before, ZR_Query(data.Gallery(), schema)) << c.what;  // no table was made
  }
}

// A table of the gallery's names made elsewhere is checked against the keys and columns the
// inserts use, before anything is created, so a run stops at start-up instead of losing every
// batch or every template, and the refused file is left byte for byte as it was.
TEST(ZrSqliteGallery, TablesTheInsertsCannotUseAreRefusedAtOpen) {
  const char* const people_key =
      "OpenDB() table people key person_id is not its INTEGER PRIMARY KEY";
  const char* const images_key =
      "OpenDB() table images key image_id is not its INTEGER PRIMARY KEY";
  const char* const alpha_key = "OpenDB() table Alpha key fr_id is not its INTEGER PRIMARY KEY\n";
  const char* const alpha_columns = "image INTEGER, person_i INTEGER, name_i TEXT, template BLOB";
  const std::string images_columns = "person INTEGER, name TEXT, jpeg BLOB, amod BLOB, thumb BLOB";
  const struct {
    std::string sql;    // run on the file before the open
    const char* error;  // empty: the open succeeds
  } cases[] = {
      // The key is missing, an ordinary column, or not the row id (SQLite keeps "INTEGER PRIMARY
      // KEY DESC", "INT PRIMARY KEY", composite keys and WITHOUT ROWID keys in an index).
      {"CREATE TABLE people(name_id TEXT, thumb_id BLOB);", people_key},
      {"CREATE TABLE people(person_id INTEGER, name_id TEXT, thumb_id BLOB);", people_key},
      {"CREATE TABLE people(person_id INTEGER PRIMARY KEY DESC, name_id TEXT, thumb_id BLOB);",
       people_key},
      {"CREATE TABLE people(person_id INT PRIMARY KEY, name_id TEXT, thumb_id BLOB);", people_key},
      {"CREATE TABLE people(person_id INTEGER, name_id TEXT, thumb_id BLOB, "
       "PRIMARY KEY(person_id, name_id));",
       people_key},
      {"CREATE VIEW people AS SELECT 1 AS person_id, 'a' AS name_id, NULL AS thumb_id;",
       people_key},
      {"CREATE TABLE images(" + images_columns + ");", images_key},
      {std::string("CREATE TABLE Alpha(") + alpha_columns + ");", alpha_key},
      {std::string("CREATE TABLE Alpha(fr_id INTEGER PRIMARY KEY NOT NULL, ") + alpha_columns +
           ") WITHOUT ROWID;",
       alpha_key},
      // The key comes before the columns; the columns as before.
      {"CREATE TABLE people(person_id TEXT PRIMARY KEY, name_id TEXT);", people_key},
      {"CREATE TABLE people(person_id INTEGER PRIMARY KEY, name_id TEXT);",
       "OpenDB() table people lacks column thumb_id"},
      {"CREATE TABLE images(image_id INTEGER PRIMARY KEY, person INTEGER, name TEXT, jpeg BLOB, "
       "thumb BLOB);",
       "OpenDB() table images lacks column amod"},
      {"CREATE TABLE Alpha(fr_id INTEGER PRIMARY KEY, image INTEGER, person_i INTEGER, "
       "name_i TEXT);",
       "OpenDB() table Alpha lacks column template\n"},
      {"CREATE TABLE people(person_id INTEGER PRIMARY KEY, name_id TEXT, thumb_id BLOB, "
       "age INTEGER NOT NULL);",
       "OpenDB() table people column age needs a value the inserts do not give"},
      // A STRICT table refuses a blob in a column of another type; an ordinary one takes it.
      {"CREATE TABLE Alpha(fr_id INTEGER PRIMARY KEY, image INTEGER, person_i INTEGER, "
       "name_i TEXT, template TEXT) STRICT;",
       "OpenDB() table Alpha column template does not take a BLOB\n"},
      // A good people table does not let a bad images table through.
      {std::string(ZR_PEOPLE_SQL) + "; CREATE TABLE images(image_id INT PRIMARY KEY, " +
           images_columns + ");",
       images_key},
      // Other case, extra columns that allow NULL or have a default, a key declared as a table
      // constraint (DESC there still makes the row id): usable.
      {"CREATE TABLE people(PERSON_ID integer PRIMARY KEY NOT NULL, Name_Id TEXT, THUMB_ID BLOB, "
       "note TEXT, added INTEGER NOT NULL DEFAULT 0);"
       "CREATE TABLE alpha(fr_id INTEGER PRIMARY KEY, image INTEGER, person_i INTEGER, "
       "name_i TEXT, template BLOB, extra BLOB);",
       ""},
      {"CREATE TABLE images(image_id INTEGER, " + images_columns + ", PRIMARY KEY(image_id DESC));",
       ""},
      {"CREATE TABLE Alpha(fr_id INTEGER PRIMARY KEY, image INTEGER, person_i INTEGER, "
       "name_i TEXT, template any) STRICT;",
       ""},
      {"CREATE TABLE Alpha(fr_id INTEGER PRIMARY KEY, image INTEGER, person_i INTEGER, "
       "name_i TEXT, template TEXT);",
       ""},
  };
  for (const auto& c : cases) {
    ZR_DataFolder data;
    data.AddPlugin(ZR_TEST_PLUGIN_ALPHA, "Alpha.so");
    ASSERT_TRUE(ZR_Exec(data.Gallery(), c.sql)) << c.sql;
    const std::string before = ZR_TempFolder::Read(data.Gallery());
    const bool usable = c.error[0] == '\0';
    {
      ZR_SQliteGallery gallery;
      EXPECT_EQ(usable, gallery.OpenDB(data.Gallery().c_str())) << c.sql;
      EXPECT_STREQ(c.error, gallery.m_error.m_text) << c.sql;
    }
    if (!usable) {
      EXPECT_EQ(before, ZR_TempFolder::Read(data.Gallery())) << c.sql;
      continue;
    }
    // A usable table takes rows: the batch goes into all three tables.
    ZR_SQliteGallery gallery;
    ASSERT_TRUE(gallery.OpenDB(data.Gallery().c_str())) << c.sql;
    ZR_List<ZR_AddPersonFRT> batch = Batch();
    EXPECT_TRUE(gallery.AddToPeopleTable(batch) && gallery.AddToImagesTable(batch) &&
                gallery.AddToFRTable(batch, "Alpha"))
        << c.sql << gallery.m_error.m_text;
    EXPECT_EQ(2, gallery.GetValFromDB("SELECT COUNT(person_id) FROM people;")) << c.sql;
    EXPECT_EQ(3, gallery.GetValFromDB("SELECT COUNT(image_id) FROM images;")) << c.sql;
    EXPECT_EQ(2, gallery.GetNumTemplatesDB("Alpha")) << c.sql;
  }
}

TEST(ZrSqliteGallery, VerboseOpenNamesTheTableItCannotCreate) {
  ZR_DataFolder data;
  data.AddPlugin(ZR_TEST_PLUGIN_BAD1, "Bad1.so");
  std::ostringstream console;
  ZR_SQliteGallery gallery(console);
  gallery.m_verbose = 1;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(gallery.OpenDB(data.Gallery().c_str()));
  EXPECT_EQ("", testing::internal::GetCapturedStdout());
  const std::string refused =
      "CreateFRtable() Error! plug-in name is not a usable table name: 1abc";
  EXPECT_EQ("Opening Gallery " + data.Gallery() + "\nsqlite3_threadsafe() = 1\n" +
                "Loading 1 FR Plugins\nLoading Bad1\nFailed to create FR table 1abc\n" + refused +
                "\n\n",
            console.str());
  EXPECT_EQ(1u, gallery.m_plugins.m_count);  // the plug-ins stay loaded
}

// A name that would be SQL of its own is refused before it reaches a statement.
TEST(ZrSqliteGallery, HostilePluginNamesCannotTouchTheSchema) {
  ZR_DataFolder data;
  data.AddPlugin(ZR_TEST_PLUGIN_INJECT, "Inject.so");
  ZR_SQliteGallery gallery;
  EXPECT_FALSE(gallery.OpenDB(data.Gallery().c_str()));
  EXPECT_EQ(0u, ZR_Query(data.Gallery(), "SELECT sql FROM sqlite_master;").size());
  ASSERT_TRUE(gallery.CreateTables());  // the refused open made none

  for (const char* name : {"people", "IMAGES", "Images", "sqlite_x", "SQLITE_stat1", "a b",
                           "t(a);DROP TABLE people;--", "", "1abc", "x\ny"}) {
    ZR_FR_Plugin* plugin = Named(name);
    EXPECT_FALSE(gallery.CreateFRtable(plugin)) << name;
    EXPECT_EQ(0, std::string(gallery.m_error.m_text).find("CreateFRtable() Error!")) << name;
    ZR_List<ZR_AddPersonFRT> batch = Batch();
    EXPECT_FALSE(gallery.AddToFRTable(batch, name)) << name;
    EXPECT_EQ(-1, gallery.GetNumTemplatesDB(name)) << name;
    delete plugin;
  }
  EXPECT_EQ(2u, ZR_Query(data.Gallery(), "SELECT sql FROM sqlite_master;").size());
  ZR_FR_Plugin* plain = Named("_Alpha_2");
  EXPECT_TRUE(gallery.CreateFRtable(plain));
  delete plain;
  EXPECT_EQ(0, gallery.GetNumTemplatesDB("_alpha_2"));
}

TEST(ZrSqliteGallery, EmptyBatchesAndQueries) {
  ZR_DataFolder data;
  ZR_SQliteGallery gallery;
  ASSERT_TRUE(gallery.OpenDB(data.Gallery().c_str()));
  ZR_List<ZR_AddPersonFRT> empty;
  EXPECT_FALSE(gallery.AddToPeopleTable(empty));
  EXPECT_STREQ("AddToPeopleTable() no people", gallery.m_error.m_text);
  EXPECT_FALSE(gallery.AddToImagesTable(empty));
  EXPECT_STREQ("AddToImagesTable() no people", gallery.m_error.m_text);
  EXPECT_FALSE(gallery.AddToFRTable(empty, "Alpha"));
  EXPECT_STREQ("Alpha AddToFRTable() no people", gallery.m_error.m_text);

  ZR_List<ZR_AddPersonFRT> no_images;
  no_images.Add(ZR_AddPersonFRT());
  EXPECT_TRUE(gallery.AddToPeopleTable(no_images));
  EXPECT_TRUE(gallery.AddToImagesTable(no_images));
  EXPECT_EQ(0, gallery.GetValFromDB("SELECT COUNT(person_id) FROM people;"));

  EXPECT_EQ(-1, gallery.GetValFromDB("SELEC nothing;"));
  EXPECT_STREQ("GetValFromDB() Prepare Error: near \"SELEC\": syntax error",
               gallery.m_error.m_text);
  EXPECT_EQ(-1, gallery.GetValFromDB("SELECT person_id FROM people;"));  // no row
  EXPECT_EQ(-1, gallery.GetValFromDB(""));
  EXPECT_EQ(-1, gallery.GetNumTemplatesDB(nullptr));
  EXPECT_STREQ("GetNumTemplatesDB() error: fr_table=NULL", gallery.m_error.m_text);
  EXPECT_EQ(-1, gallery.GetNumTemplatesDB("Missing"));
  EXPECT_STREQ("GetValFromDB() Prepare Error: no such table: Missing", gallery.m_error.m_text);
}

TEST(ZrSqliteGallery, EveryOperationOnAClosedGalleryNamesItself) {
  ZR_SQliteGallery gallery;
  ZR_List<ZR_AddPersonFRT> batch = Batch();
  ZR_FR_Plugin plugin;
  const struct {
    std::function<bool()> call;
    const char* text;
  } cases[] = {
      {[&] { return gallery.CreateTables(); }, "CreateTables() m_db=0"},
      {[&] { return gallery.CreateFRtable(&plugin); }, "CreateFRtable() m_db=0"},
      {[&] { return gallery.AddToPeopleTable(batch); }, "AddToPeopleTable() m_db=0"},
      {[&] { return gallery.AddToImagesTable(batch); }, "AddToImagesTable() m_db=0"},
      {[&] { return gallery.AddToFRTable(batch, "Alpha"); }, "Alpha AddToFRTable() m_db=0"},
      {[&] { return gallery.GetValFromDB("SELECT 1;") != -1; }, "GetValFromDB() m_db=0"},
      {[&] { return gallery.BeginBatch(); }, "BeginBatch() m_db=0"},
      {[&] { return gallery.EndBatch(true); }, "EndBatch() m_db=0"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(c.call()) << c.text;
    EXPECT_STREQ(c.text, gallery.m_error.m_text);
  }
}

// The folder is made and the plug-ins are found with every '\' read as '/'; the file must be
// opened the same way, or it lands elsewhere (or not at all) and no template table is made.
TEST(ZrSqliteGallery, BackslashesInThePathNameTheSameFolderForFileAndPlugins) {
  const struct {
    const char* given;
    const char* folder;  // where the file and plug-ins are
  } cases[] = {{"w\\x/FR/G.gal", "w/x/FR"}, {"data\\/FR/g.gal", "data/FR"}};
  for (const auto& c : cases) {
    ZR_TempFolder temp;
    const std::string folder = temp / c.folder;
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(ZR_TEST_PLUGIN_ALPHA, folder + "/Alpha.so");
    ZR_SQliteGallery gallery;
    ASSERT_TRUE(gallery.OpenDB((temp / c.given).c_str())) << c.given << gallery.m_error.m_text;
    ASSERT_EQ(1u, gallery.m_plugins.m_count) << c.given;
    const std::string file = folder + "/" + ZR_String(c.given).GetFileStem().m_text + ".gal";
    EXPECT_EQ(Text(kAlphaSql.c_str()),
              ZR_Query(file, "SELECT sql FROM sqlite_master WHERE name = 'Alpha';").at(0)[0])
        << c.given;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(temp.Path()))
      EXPECT_EQ(std::string::npos, entry.path().string().find('\\')) << entry.path();
  }
}

namespace {

// Runs body in a child process, as the unprivileged user "nobody" when the tests run as root
// (root writes files whatever their mode). Returns the body's text, or why it could not run.
std::string InUnprivilegedChild(const std::function<std::string()>& body) {
  int out[2];
  if (::pipe(out) != 0) return "pipe failed";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(out[0]);
    std::string text = "cannot drop privileges";
    if (::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0)) text = body();
    const ssize_t written = ::write(out[1], text.data(), text.size());
    ::_exit(written == ssize_t(text.size()) ? 0 : 1);
  }
  ::close(out[1]);
  std::string text;
  char buffer[256];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, size_t(n));
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? text : "child failed: " + text;
}

}  // namespace

// Opening succeeds on a file or folder that cannot be written; every insert of the run would
// then fail. The open itself must fail, with the connection closed and the file untouched.
TEST(ZrSqliteGallery, AGalleryThatCannotBeWrittenFailsAtOpen) {
  namespace fs = std::filesystem;
  const fs::perms read_only = fs::perms(0444), folder_read_only = fs::perms(0555);
  const struct {
    const char* what;
    fs::perms file, folder;
  } cases[] = {
      {"read-only file", read_only, fs::perms::all},
      {"read-only folder", fs::perms(0666), folder_read_only},
  };
  for (const auto& c : cases) {
    ZR_DataFolder data;
    {
      ZR_SQliteGallery gallery;
      ASSERT_TRUE(gallery.OpenDB(data.Gallery().c_str()));
    }
    const std::string before = ZR_TempFolder::Read(data.Gallery());
    fs::permissions(data.Gallery(), c.file);
    fs::permissions(data.Fr(), c.folder);
    const std::string result = InUnprivilegedChild([&] {
      ZR_SQliteGallery gallery;
      const bool opened = gallery.OpenDB(data.Gallery().c_str());
      return std::string(opened ? "opened " : "refused ") + (gallery.m_db ? "open " : "closed ") +
             gallery.m_error.m_text;
    });
    EXPECT_EQ("refused closed OpenDB() Can't open: " + data.Gallery() +
                  "attempt to write a readonly database",
              result)
        << c.what;
    fs::permissions(data.Fr(), fs::perms::all);
    EXPECT_EQ(before, ZR_TempFolder::Read(data.Gallery())) << c.what;
    EXPECT_FALSE(fs::exists(data.Gallery() + "-journal")) << c.what;
  }
}

// Another connection holding the write lock for a moment (another enrolment, the sqlite3 shell)
// is waited for instead of failing the batch with "database is locked".
TEST(ZrSqliteGallery, ConcurrentWriterIsWaitedFor) {
  ZR_DataFolder data;
  ZR_SQliteGallery gallery;
  ASSERT_TRUE(gallery.OpenDB(data.Gallery().c_str()));
  sqlite3* other = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(data.Gallery().c_str(), &other));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr));
  std::thread holder([other] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  });
  ZR_List<ZR_AddPersonFRT> batch = Batch();
  EXPECT_TRUE(gallery.AddToPeopleTable(batch)) << gallery.m_error.m_text;
  holder.join();
  sqlite3_close(other);
  EXPECT_EQ(2, gallery.GetValFromDB("SELECT COUNT(person_id) FROM people;"));
}

// Two enrolments into one gallery at once, each with its own connection: every batch of both is
// stored, in people, images and the template table.
TEST(ZrSqliteGallery, ConcurrentEnrolmentsStoreEveryBatch) {
  ZR_DataFolder data;
  const std::string alpha = data.AddPlugin(ZR_TEST_PLUGIN_ALPHA, "Alpha.so");
  // Held for the whole test, so that a gallery closing early cannot unload the plug-in while the
  // other loads it: a reload at the same address reads to ThreadSanitizer as a race on the
  // plug-in's state, since the loader's own locking is invisible to it.
  const ZR_LibraryHandle keep = ZR_LoadLibrary(alpha.c_str());
  ASSERT_NE(nullptr, keep);
  constexpr int kBatches = 25;
  std::vector<std::string> failures(2);
  std::vector<std::thread> runs;
  for (int r = 0; r < 2; ++r) {
    runs.emplace_back([&, r] {
      ZR_SQliteGallery gallery;
      if (!gallery.OpenDB(data.Gallery().c_str())) {
        failures[r] = gallery.m_error.m_text;
        return;
      }
      for (int b = 0; b < kBatches && failures[r].empty(); ++b) {
        ZR_List<ZR_AddPersonFRT> batch = Batch();
        const bool stored = gallery.BeginBatch() && gallery.AddToPeopleTable(batch) &&
                            gallery.AddToImagesTable(batch) && gallery.EndBatch(true) &&
                            gallery.AddToFRTable(batch, "Alpha");
        if (!stored) failures[r] = gallery.m_error.m_text;
      }
    });
  }
  for (std::thread& run : runs) run.join();
  EXPECT_EQ(std::vector<std::string>(2), failures);
  EXPECT_EQ(size_t(2 * kBatches * 2), Count(data.Gallery(), "people"));
  EXPECT_EQ(size_t(2 * kBatches * 3), Count(data.Gallery(), "images"));
  EXPECT_EQ(size_t(2 * kBatches * 2), Count(data.Gallery(), "Alpha"));
  ZR_FreeLibrary(keep);
}
