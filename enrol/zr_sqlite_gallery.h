// enrol/zr_sqlite_gallery.h: ZR_SQliteGallery, the SQLite gallery file <Data_Dir>/FR/<Name>.gal
// with its people, images and one template table per plug-in, and the plug-in list it owns.
// Plug-in names become table names pasted into SQL, so only plain identifiers are accepted.
#ifndef ENROL_ZR_SQLITE_GALLERY_H
#define ENROL_ZR_SQLITE_GALLERY_H

#include <cstdint>
#include <ostream>

#include "core/zr_list.h"
#include "core/zr_lock.h"
#include "core/zr_string.h"
#include "enrol/zr_add_person_frt.h"
#include "enrol/zr_fr_plugin.h"

struct sqlite3;
class ZR_Image;
class ZR_AnnoModel2D;

// ZR_SQliteGallery: closed (m_db null, no plug-ins) after construction; open after a successful
//   OpenDB: tables present, plug-ins loaded, one template table per plug-in.
//   Members in order: verbose flag (console progress and failures), the text of the last failure,
//     the gallery path, the SQLite connection, the plug-in list (owned, grow step 4), a
//     ZR_Lock that nothing takes, and the console that the verbose texts go to (given at
//     construction, standard output by default; it must outlive the gallery).
//   Threads: every database operation runs on the main thread. GenerateTemplates runs on every
//     worker at once and only reads the plug-in list, which does not change once opened.
//   Failure: false or -1, with a text in m_error that starts with the operation's name; a row
//     that does not insert rolls its operation back and leaves its cause. BEGIN, END, prepare and
//     step are all checked: no failure is reported as success, none without a text.
class ZR_SQliteGallery {
 public:
  uint8_t m_verbose;
  ZR_String m_error;
  ZR_String m_path;
  sqlite3* m_db;
  ZR_List<ZR_FR_Plugin*> m_plugins;
  ZR_Lock m_lock;
  std::ostream* m_console;  // never null; handed to each plug-in it loads

  ZR_SQliteGallery();
  explicit ZR_SQliteGallery(std::ostream& console);
  ZR_SQliteGallery(const ZR_SQliteGallery&) = delete;
  ZR_SQliteGallery& operator=(const ZR_SQliteGallery&) = delete;
  // Closes the database, deletes every plug-in (freeing its library).
  virtual ~ZR_SQliteGallery();

  // Opens or creates the gallery at path (creating its folder), sets a busy timeout of 60 s and
  // the pragmas, checks that the file takes writes, checks the people and images tables that
  // exist, loads the plug-ins of the path's folder, checks the template tables that exist, and
  // only then creates, in one transaction, the people and images tables and a template table per
  // plug-in that are missing. Every '\' of path is read as '/', for the file as for its folder
  // and plug-ins. False with m_error:
  //   "OpenDB() Can't open: " + path + SQLite's message (the connection is closed), also when
  //     the file or its folder cannot be written ("attempt to write a readonly database");
  //   "OpenDB() SQL error: " + message when a pragma fails (closed);
  //   for an existing people or images table (left open, no plug-in loaded yet):
  //     "OpenDB() table " + table + " key " + person_id or image_id + " is not its INTEGER
  //     PRIMARY KEY" unless that column is the row id of an ordinary table (the sole primary
  //     key, of type INTEGER, not DESC, no WITHOUT ROWID), "OpenDB() table " + table + " lacks
  //     column " + column when it has not every column the inserts write, or "OpenDB() table "
  //     + table + " column " + column + " needs a value the inserts do not give" for an extra
  //     NOT NULL column without a default;
  //   the same texts for every existing template table (key fr_id), and "OpenDB() table " +
  //     table + " column template does not take a BLOB" for a STRICT one whose template column
  //     is neither BLOB nor ANY (it would refuse every template), each + "\n" (left open, every
  //     plug-in kept);
  //   CreateTables' text, or each failed CreateFRtable text + "\n" (left open, every plug-in
  //     kept), or "OpenDB() SQL error: " + message when the transaction does not begin or end.
  // Every failure leaves the file's tables and rows as they were.
  // A plug-in that fails to load is no failure of the gallery.
  bool OpenDB(const char* path);

  // Creates people and images if missing. False: "CreateTables() m_db=0" or
  // "CreateTables() SQL error: " + message.
  bool CreateTables();

  // Creates the template table named after the plug-in if missing. False:
  // "CreateFRtable() m_db=0", "CreateFRtable() p_FR=0",
  // "CreateFRtable() Error! plug-in name is not a usable table name: " + name (anything but
  // [A-Za-z_][A-Za-z0-9_]*, or "people", "images", "sqlite_..." in any case),
  // "CreateFRtable() SQL error: " + message.
  bool CreateFRtable(const ZR_FR_Plugin* p_FR);

  // Runs sql (no result rows) on db. False with err := "SQL error: " + SQLite's message.
  static bool ExecSQL(sqlite3* db, const char* sql, ZR_String& err);

  // Column 0 of the last row of query, as a 32-bit integer; -1 when there is no row, and -1 with
  // "GetValFromDB() m_db=0", "GetValFromDB() Prepare Error: " + message or
  // "GetValFromDB() Step Error: " + message.
  int32_t GetValFromDB(const char* query);
  // "SELECT COUNT(fr_id) FROM " + fr_table + ";". -1 with "GetNumTemplatesDB() error:
  // fr_table=NULL" or, for an unusable table name, "GetNumTemplatesDB() Error! ...".
  int32_t GetNumTemplatesDB(const char* fr_table);

  // Batch inserts, each in its own transaction (a savepoint inside BeginBatch/EndBatch): the first
  // row that fails ends the operation (no later row is written), rolls back every row of it and
  // gives false. Texts: "<op>() m_db=0",
  // "<op>() no people" (an empty batch), "<op>() Prepare Error: " + message, "<op>() SQL error: "
  // + message when BEGIN or END fails (END failing rolls back), and for the first row that
  // failed "<op>() Step Error: " + message, "<op>() Bind Error: " + message (a value SQLite
  // refuses), "<op>() no row written" (the statement completed without inserting, as a trigger's
  // RAISE(IGNORE) or ON CONFLICT IGNORE make it) or "<op>() Error! row id past 32 bits: " + id.
  // Row ids are written into the records as they are made and not reset on failure.
  //
  // One people row per record with a face JPEG: name, and the thumbnail of the best image (of
  // image 0 when the best image is out of range). Sets m_person_id to the row id.
  bool AddToPeopleTable(ZR_List<ZR_AddPersonFRT>& batch);
  // One images row per enrolled image: person row id, person name, face JPEG, landmark blob,
  // thumbnail; m_image_ids gets one entry per enrolled image (-1 until written).
  bool AddToImagesTable(ZR_List<ZR_AddPersonFRT>& batch);
  // One row in table name per enrolled image whose template set holds an entry of that name
  // (the first) with status ZR_TEMPLATE_MADE: image row id, person row id, person name,
  // template. Texts begin with name + " AddToFRTable()".
  bool AddToFRTable(ZR_List<ZR_AddPersonFRT>& batch, const char* name);

  // An outer transaction around the people and images operations of one batch, so that they are
  // written together or not at all. EndBatch(true) commits (rolling back when the commit fails);
  // EndBatch(false) rolls back. Both return whether the rows are now in the gallery. False with
  // "BeginBatch() m_db=0", "BeginBatch() SQL error: " + message, "EndBatch() m_db=0",
  // "EndBatch() SQL error: " + message.
  bool BeginBatch();
  bool EndBatch(bool commit);
  // True while the transaction BeginBatch opened is still open. SQLite ends it by itself when a
  // statement fails with a full disk, an I/O error or no memory; rows written after that would
  // each commit on their own.
  bool InBatch() const;

  // Loads every "*.so" directly in the gallery path's folder, in name order, each initialised
  // with folder + "/" + file stem. err becomes "No FR Plugins present in " + folder when there is
  // none; each library that fails appends its reason + "\n".
  void LoadPlugins(const char* gallery_path, ZR_String& err);
  // Appends a plug-in, copies the verbose flag and the console into it and loads it (refusing a
  // name already loaded, ignoring case). On failure the plug-in is deleted and removed, false and
  // err.
  bool AddPlugin(const char* path, const char* init_text, ZR_String& err);
  // Deletes every plug-in and empties the list.
  void DeletePlugins();

  // Fills set for one enrolled image: per plug-in in list order its name, a template and a
  // status: ZR_TEMPLATE_NOT_ASKED (empty template) when its generation is not thread-safe, else
  // ZR_TEMPLATE_MADE when YV_GenerateTemplate, given an array of YV_GetTemplateSize bytes,
  // returned non-zero, and ZR_TEMPLATE_FAILED when it returned 0, the size was negative or above
  // the gallery's blob limit (then nothing is allocated), or the plug-in threw. Safe to call from
  // every worker at once.
  void GenerateTemplates(ZR_Image* image, ZR_AnnoModel2D* model, FRpluginTemplateSet& set) const;
};

#endif  // ENROL_ZR_SQLITE_GALLERY_H
