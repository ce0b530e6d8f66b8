// enrol/zr_sqlite_gallery_plugins.cpp: the gallery's plug-in list: loading every library of the
// gallery folder, and asking the thread-safe ones for templates from all workers at once. A
// plug-in's size and exceptions are not trusted: a negative size, a size above what the gallery
// can store, or a throw is a failed template.
#include "enrol/zr_sqlite_gallery.h"

#include <sqlite3.h>

#include <iostream>

#include "core/zr_file_system.h"
#include "platform/zr_dynamic_library.h"

namespace {

// SQLite's built-in length limit for a string, blob or row, for a gallery not yet opened.
constexpr int64_t kDefaultMaxLength = 1000000000;

// One template from a plug-in whose generation is thread-safe: ZR_TEMPLATE_MADE or
// ZR_TEMPLATE_FAILED. templ is sized to 0..size-1 first, unless size exceeds max_size (a blob
// the gallery could not store: nothing is allocated).
int32_t MakeTemplate(const ZR_FR_Plugin& plugin, ZR_Image* image, ZR_AnnoModel2D* model,
                     int64_t max_size, ZR_Array<unsigned char>& templ) {
  try {
    const int32_t size = plugin.m_get_template_size();
    if (size < 0 || size > max_size) return ZR_TEMPLATE_FAILED;
    templ.Resize(0, size - 1);
    return plugin.m_generate_template(image, model, &templ) != 0 ? ZR_TEMPLATE_MADE
                                                                 : ZR_TEMPLATE_FAILED;
  } catch (...) {
    return ZR_TEMPLATE_FAILED;
  }
}

}  // namespace

void ZR_SQliteGallery::DeletePlugins() {
  for (uint32_t i = 0; i < m_plugins.m_count; ++i) delete m_plugins[i];
  m_plugins.Clear();
}

bool ZR_SQliteGallery::AddPlugin(const char* path, const char* init_text, ZR_String& err) {
  ZR_FR_Plugin* plugin = new ZR_FR_Plugin;
  m_plugins.Add(plugin);
  plugin->m_verbose = m_verbose;
  plugin->m_console = m_console;
  if (plugin->Load(path, init_text, err, &m_plugins)) return true;
  if (m_verbose) *m_console << err.m_text << std::endl;
  delete plugin;
  m_plugins.RemoveLast();
  return false;
}

void ZR_SQliteGallery::LoadPlugins(const char* gallery_path, ZR_String& err) {
  const ZR_String folder = ZR_String(gallery_path).GetFolder();
  ZR_List<ZR_String> files;
  GetFilesInFolder(files, folder.m_text, ZR_PLUGIN_PATTERN);
  if (m_verbose) *m_console << "Loading " << files.m_count << " FR Plugins" << std::endl;
  if (files.m_count == 0) {
    err = ZR_String("No FR Plugins present in ") + folder;
    return;
  }
  for (uint32_t i = 0; i < files.m_count; ++i) {
    const ZR_String stem = files[i].GetFileStem();
    const ZR_String init_text = folder + "/" + stem;
    ZR_String library_err;
    if (m_verbose) *m_console << "Loading " << stem.m_text << std::endl;
    if (AddPlugin(files[i].m_text, init_text.m_text, library_err)) continue;
    err += library_err;
    err += "\n";
    if (m_verbose) *m_console << "Load " << stem.m_text << " FAILED" << std::endl;
  }
}

void ZR_SQliteGallery::GenerateTemplates(ZR_Image* image, ZR_AnnoModel2D* model,
                                         FRpluginTemplateSet& set) const {
  set.m_names.Clear();
  set.m_templates.Clear();
  set.m_status.Clear();
  const uint32_t n = m_plugins.m_count;
  if (n != 0) {
    set.m_names.SetGrowStep(n);
    set.m_templates.SetGrowStep(n);
    set.m_status.SetGrowStep(n);
  }
  // The connection's length limit (SQLite's default without one); reading it takes no lock and
  // nothing changes it while workers run.
  const int64_t max_size =
      m_db != nullptr ? sqlite3_limit(m_db, SQLITE_LIMIT_LENGTH, -1) : kDefaultMaxLength;
  const ZR_Array<unsigned char> empty;
  for (uint32_t k = 0; k < n; ++k) {
    const ZR_FR_Plugin& plugin = *m_plugins[k];
    set.m_names.Add(plugin.m_name);
    set.m_templates.Add(empty);
    set.m_status.Add(ZR_TEMPLATE_NOT_ASKED);
    if (plugin.m_gen_thread_safe == 0) continue;
    set.m_status[k] = MakeTemplate(plugin, image, model, max_size, set.m_templates[k]);
  }
}
