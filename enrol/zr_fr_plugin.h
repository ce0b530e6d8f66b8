// enrol/zr_fr_plugin.h: ZR_FR_Plugin, one loaded face-recognition plug-in library: its fourteen
// resolved entry points, its name (also its gallery table) and its thread-safety flags. The
// library is outside the system; every text and size it returns is treated as untrusted.
#ifndef ENROL_ZR_FR_PLUGIN_H
#define ENROL_ZR_FR_PLUGIN_H

#include <cstdint>
#include <ostream>

#include "core/zr_list.h"
#include "core/zr_string.h"
#include "enrol/zr_fr_plugin_api.h"
#include "platform/zr_dynamic_library.h"

// ZR_FR_Plugin: empty: no library, every entry point null, name empty, flags 0.
//   Members in order: the fourteen entry points (m_is_a before m_initialize), the library handle,
//     the verbose flag (copied from the gallery), the name YV_IsA gave, the generation and
//     matching thread-safety flags (the matching one is kept and never consulted), and the
//     console the verbose failures go to (the gallery's; standard output by default).
//   Owns: the library handle, freed by the destructor; the entry points die with it.
//   Threads: loaded and destroyed on the main thread; once loaded, every worker may call the
//     generation entry points at once when m_gen_thread_safe is set.
class ZR_FR_Plugin {
 public:
  YV_IsThreadSafe_fn m_is_thread_safe_matching;
  YV_IsThreadSafe_fn m_is_thread_safe_generation;
  YV_GetLastError_fn m_get_last_error;
  YV_IsA_fn m_is_a;
  YV_Initialize_fn m_initialize;
  YV_GetTemplateSize_fn m_get_template_size;
  YV_GenerateTemplate_fn m_generate_template;
  YV_Unused_fn m_generate_template_from_gray;
  YV_Unused_fn m_match_templates;
  YV_Unused_fn m_match_template_from_pointers;
  YV_Unused_fn m_get_average_image_rows;
  YV_Unused_fn m_get_average_image_cols;
  YV_Unused_fn m_add_to_average_from_gray;
  YV_Unused_fn m_generate_template_from_average_gray;
  ZR_LibraryHandle m_module;
  uint8_t m_verbose;
  ZR_String m_name;
  uint8_t m_gen_thread_safe;
  uint8_t m_match_thread_safe;
  std::ostream* m_console;  // never null

  ZR_FR_Plugin();
  ZR_FR_Plugin(const ZR_FR_Plugin&) = delete;
  ZR_FR_Plugin& operator=(const ZR_FR_Plugin&) = delete;
  virtual ~ZR_FR_Plugin();

  // Loads the library at path (frees one already held first), resolves the fourteen exports,
  // asks YV_IsA, YV_IsThreadSafeGeneration and YV_IsThreadSafeMatching (the flags also when the
  // name is empty) and initialises it with init_text (folder + "/" + file stem). Returns true
  // when it is ready. On false, err says why:
  //   "Failed to load " + path
  //   "Failed to find to following functions:\n" + "YV_xxx\n" per missing export, in resolution
  //     order; or that heading + "YV_IsA() returned empty\n" (a null name counts as empty); or
  //     that heading + "YV_IsA() returned a name already loaded: " + name + "\n" when the name
  //     equals, ignoring case, the name of a plug-in in loaded (when given)
  //   "Failed to initialize: " + YV_GetLastError() (null counts as empty); the library then
  //     stays loaded until the plug-in is destroyed.
  // The refusals before YV_Initialize free the library. With m_verbose, err is also printed on
  // the console.
  bool Load(const char* path, const char* init_text, ZR_String& err,
            const ZR_List<ZR_FR_Plugin*>* loaded = nullptr);

 private:
  bool LoadAndInitialize(const char* path, const char* init_text, ZR_String& err,
                         const ZR_List<ZR_FR_Plugin*>* loaded);
  void Free();
};

#endif  // ENROL_ZR_FR_PLUGIN_H
