// enrol/zr_fr_plugin.cpp: loading one plug-in library: resolving the fourteen exports in their
// fixed order (which fixes the order of the missing-export lines), asking its name and flags,
// initialising it. Null texts from the library count as empty; exceptions stop at this boundary.
#include "enrol/zr_fr_plugin.h"

#include <iostream>
#include <type_traits>

#include "enrol/internal/table_name.h"

namespace {

// Calls one load-time entry point; an exception from the library becomes false and a reason.
template <class Call>
bool Guarded(const char* what, ZR_String& reason, Call call) {
  try {
    call();
    return true;
  } catch (...) {
    reason = ZR_String("Failed to initialize: ") + what + "() threw an exception";
    return false;
  }
}

// True when a plug-in of loaded other than self has the name, ignoring case: SQLite table names
// ignore case, so two such plug-ins would share one table.
bool NameTaken(const ZR_FR_Plugin* self, const ZR_List<ZR_FR_Plugin*>* loaded) {
  if (loaded == nullptr) return false;
  for (uint32_t i = 0; i < loaded->m_count; ++i) {
    const ZR_FR_Plugin* other = (*loaded)[i];
    if (other != nullptr && other != self &&
        ZR_EqualsIgnoringCase(other->m_name.m_text, self->m_name.m_text))
      return true;
  }
  return false;
}

}  // namespace

ZR_FR_Plugin::ZR_FR_Plugin()
    : m_is_thread_safe_matching(nullptr),
      m_is_thread_safe_generation(nullptr),
      m_get_last_error(nullptr),
      m_is_a(nullptr),
      m_initialize(nullptr),
      m_get_template_size(nullptr),
      m_generate_template(nullptr),
      m_generate_template_from_gray(nullptr),
      m_match_templates(nullptr),
      m_match_template_from_pointers(nullptr),
      m_get_average_image_rows(nullptr),
      m_get_average_image_cols(nullptr),
      m_add_to_average_from_gray(nullptr),
      m_generate_template_from_average_gray(nullptr),
      m_module(nullptr),
      m_verbose(0),
      m_gen_thread_safe(0),
      m_match_thread_safe(0),
      m_console(&std::cout) {}

ZR_FR_Plugin::~ZR_FR_Plugin() {
  Free();
}

void ZR_FR_Plugin::Free() {
  if (m_module != nullptr) ZR_FreeLibrary(m_module);
  m_module = nullptr;
  m_is_thread_safe_matching = m_is_thread_safe_generation = nullptr;
  m_get_last_error = nullptr;
  m_is_a = nullptr;
  m_initialize = nullptr;
  m_get_template_size = nullptr;
  m_generate_template = nullptr;
  m_generate_template_from_gray = m_match_templates = m_match_template_from_pointers = nullptr;
  m_get_average_image_rows = m_get_average_image_cols = nullptr;
  m_add_to_average_from_gray = m_generate_template_from_average_gray = nullptr;
}

bool ZR_FR_Plugin::Load(const char* path, const char* init_text, ZR_String& err,
                        const ZR_List<ZR_FR_Plugin*>* loaded) {
  const bool ok = LoadAndInitialize(path, init_text, err, loaded);
  if (!ok && m_verbose) *m_console << err.m_text << std::endl;
  return ok;
}

bool ZR_FR_Plugin::LoadAndInitialize(const char* path, const char* init_text, ZR_String& err,
                                     const ZR_List<ZR_FR_Plugin*>* loaded) {
  Free();
  m_module = ZR_LoadLibrary(path);
  if (m_module == nullptr) {
    err = ZR_String("Failed to load ") + path;
    return false;
  }
  err = "Failed to find to following functions:\n";
  bool missing = false;
  auto resolve = [&](auto& slot, const char* name) {
    slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(
        ZR_GetProcAddress(m_module, name));
    if (slot == nullptr) {
      err += name;
      err += "\n";
      missing = true;
    }
  };
  resolve(m_is_thread_safe_matching, "YV_IsThreadSafeMatching");
  resolve(m_is_thread_safe_generation, "YV_IsThreadSafeGeneration");
  resolve(m_get_last_error, "YV_GetLastError");
  resolve(m_initialize, "YV_Initialize");
  resolve(m_is_a, "YV_IsA");
  resolve(m_get_template_size, "YV_GetTemplateSize");
  resolve(m_generate_template, "YV_GenerateTemplate");
  resolve(m_generate_template_from_gray, "YV_GenerateTemplateFromGray");
  resolve(m_match_templates, "YV_MatchTemplates");
  resolve(m_match_template_from_pointers, "YV_MatchTemplateFromPointers");
  resolve(m_get_average_image_rows, "YV_GetAverageImageRows");
  resolve(m_get_average_image_cols, "YV_GetAverageImageCols");
  resolve(m_add_to_average_from_gray, "YV_AddToAverageFromGray");
  resolve(m_generate_template_from_average_gray, "YV_GenerateTemplateFromAverageGray");
  if (missing) {
    Free();
    return false;
  }

  // The flags are asked even when the name is refused.
  const char* name = nullptr;
  if (!Guarded("YV_IsA", err, [&] { name = m_is_a(); }) ||
      !Guarded("YV_IsThreadSafeGeneration", err,
               [&] { m_gen_thread_safe = m_is_thread_safe_generation(); }) ||
      !Guarded("YV_IsThreadSafeMatching", err,
               [&] { m_match_thread_safe = m_is_thread_safe_matching(); })) {
    Free();
    return false;
  }
  m_name = name;
  if (m_name.m_length == 1) {
    err += "YV_IsA() returned empty\n";
  } else if (NameTaken(this, loaded)) {
    err += "YV_IsA() returned a name already loaded: ";
    err += m_name;
    err += "\n";
  } else {
    unsigned char initialized = 0;
    if (!Guarded("YV_Initialize", err, [&] { initialized = m_initialize(init_text); }))
      return false;
    if (initialized != 0) return true;
    const char* why = nullptr;
    if (Guarded("YV_GetLastError", err, [&] { why = m_get_last_error(); }))
      err = ZR_String("Failed to initialize: ") + why;
    return false;  // the library stays loaded until the plug-in is destroyed
  }
  Free();
  return false;
}
