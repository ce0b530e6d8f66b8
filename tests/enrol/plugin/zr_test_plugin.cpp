// tests/enrol/plugin/zr_test_plugin.cpp: one source for every test plug-in library; compile
// definitions pick the behaviour (see tests/enrol/CMakeLists.txt). Its template encodes facts of
// the image and landmarks it was handed, so tests can check that the right objects crossed the
// boundary with the agreed layout. It reads them through inline members only and links nothing of
// the system. A call log and counters, read by the tests through their own handle, record how the
// system called it.
//   ZRTP_NAME "text"      what YV_IsA returns (ZRTP_NULL_NAME: a null pointer; ZRTP_INJECT: a
//                         name that would run SQL of its own if pasted into a statement)
//   ZRTP_GEN_SAFE 0/1     YV_IsThreadSafeGeneration
//   ZRTP_GEN_RESULT n     1: writes the template; 0: fails; 2: throws
//   ZRTP_INIT_OK 0/1      YV_Initialize's result (YV_GetLastError: "init refused", or null with
//                         ZRTP_NULL_ERROR)
//   ZRTP_SIZE n           a fixed YV_GetTemplateSize in place of the template's own size
//   ZRTP_OMIT_MATCH       leaves YV_MatchTemplates out
#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>

#include "core/zr_array.h"
#include "enrol/zr_fr_plugin_api.h"
#include "annotation/zr_anno_model2d.h"
#include "image/zr_image.h"

#ifndef ZRTP_GEN_SAFE
#define ZRTP_GEN_SAFE 1
#endif
#ifndef ZRTP_GEN_RESULT
#define ZRTP_GEN_RESULT 1
#endif
#ifndef ZRTP_INIT_OK
#define ZRTP_INIT_OK 1
#endif

namespace {

// The init text and the call log. Two galleries that load the library from two threads at once
// both make the load-time calls, so every access holds the lock. A function-local static is built
// under the compiler's guard, which ThreadSanitizer sees; a global's constructor runs under the
// loader's own lock, which it does not.
struct PluginState {
  std::mutex lock;
  std::string init_text;
  std::string call_log;
};

PluginState& State() {
  static PluginState state;
  return state;
}

std::string InitText() {
  std::lock_guard<std::mutex> hold(State().lock);
  return State().init_text;
}

std::atomic<int32_t> g_size_calls{0};
std::atomic<int32_t> g_generate_calls{0};

void Log(const std::string& call) {
  std::lock_guard<std::mutex> hold(State().lock);
  if (!State().call_log.empty()) State().call_log += ",";
  State().call_log += call;
}

void PutInt(unsigned char* at, int32_t value) {
  std::memcpy(at, &value, 4);
}

// 20 bytes of facts, then the init text.
int32_t ReportedSize() {
#ifdef ZRTP_SIZE
  return ZRTP_SIZE;
#else
  return static_cast<int32_t>(20 + InitText().size());
#endif
}

}  // namespace

extern "C" {

YV_EXPORT const char* YV_IsA(void) {
  Log("IsA");
#if defined(ZRTP_NULL_NAME)
  return nullptr;
#elif defined(ZRTP_INJECT)
  return "t(a);DROP TABLE people;--";
#else
  return ZRTP_NAME;
#endif
}

YV_EXPORT unsigned char YV_IsThreadSafeGeneration(void) {
  Log("IsThreadSafeGeneration");
  return ZRTP_GEN_SAFE;
}

YV_EXPORT unsigned char YV_IsThreadSafeMatching(void) {
  Log("IsThreadSafeMatching");
  return 1;
}

YV_EXPORT unsigned char YV_Initialize(const char* init_text) {
  const std::string text = init_text != nullptr ? init_text : "";
  {
    std::lock_guard<std::mutex> hold(State().lock);
    State().init_text = text;
  }
  Log("Initialize(" + text + ")");
  return ZRTP_INIT_OK;
}

YV_EXPORT const char* YV_GetLastError(void) {
  Log("GetLastError");
#ifdef ZRTP_NULL_ERROR
  return nullptr;
#else
  return "init refused";
#endif
}

YV_EXPORT int32_t YV_GetTemplateSize(void) {
  ++g_size_calls;
  return ReportedSize();
}

// "ZRT1", int32 rows and cols of the image, int32 annotation count and total point count of the
// model, then the init text without its zero.
YV_EXPORT unsigned char YV_GenerateTemplate(ZR_Image* image, ZR_AnnoModel2D* model,
                                            YV_ByteArray* templ) {
  ++g_generate_calls;
  if (ZRTP_GEN_RESULT == 2) throw std::runtime_error("generation threw");
  if (ZRTP_GEN_RESULT == 0) return 0;
  if (image == nullptr || model == nullptr || templ == nullptr) return 0;
  if (int64_t(templ->m_count) != ReportedSize() || templ->m_lo != 0) return 0;
  if (templ->m_count == 0) return 1;  // an empty template is still a made one
  const std::string text = InitText();
  if (templ->m_count < 20 + text.size()) return 0;
  int32_t points = 0;
  for (uint32_t a = 0; a < model->m_count; ++a) points += int32_t((*model)[a].m_count);
  unsigned char* out = &(*templ)[0];
  std::memcpy(out, "ZRT1", 4);
  PutInt(out + 4, image->m_rows);
  PutInt(out + 8, image->m_cols);
  PutInt(out + 12, int32_t(model->m_count));
  PutInt(out + 16, points);
  std::memcpy(out + 20, text.data(), text.size());
  return 1;
}

YV_EXPORT int32_t YV_GenerateTemplateFromGray(void) {
  return 0;
}
#ifndef ZRTP_OMIT_MATCH
YV_EXPORT int32_t YV_MatchTemplates(void) {
  return 0;
}
#endif
YV_EXPORT int32_t YV_MatchTemplateFromPointers(void) {
  return 0;
}
YV_EXPORT int32_t YV_GetAverageImageRows(void) {
  return 0;
}
YV_EXPORT int32_t YV_GetAverageImageCols(void) {
  return 0;
}
YV_EXPORT int32_t YV_AddToAverageFromGray(void) {
  return 0;
}
YV_EXPORT int32_t YV_GenerateTemplateFromAverageGray(void) {
  return 0;
}

// Test-only exports; the system never resolves them.
// Read by a test while no gallery of its own is loading or generating.
YV_EXPORT const char* ZRTP_CallLog(void) {
  std::lock_guard<std::mutex> hold(State().lock);
  return State().call_log.c_str();
}
YV_EXPORT int32_t ZRTP_SizeCalls(void) {
  return g_size_calls.load();
}
YV_EXPORT int32_t ZRTP_GenerateCalls(void) {
  return g_generate_calls.load();
}
}
