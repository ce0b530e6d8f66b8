/* enrol/zr_fr_plugin_api.h: the contract between Quillbeck and a face-recognition plug-in, the
 * fourteen YV_ exports. A plug-in is a shared library "<Name>.so" in <Data_Dir>/FR; the system
 * resolves all fourteen by name and refuses a library that lacks one. This header compiles as C
 * and as C++ and needs nothing else of the project. */
#ifndef ENROL_ZR_FR_PLUGIN_API_H
#define ENROL_ZR_FR_PLUGIN_API_H

#include <stdint.h>

/* The objects handed to YV_GenerateTemplate are the system's own, passed by address. Their memory
 * layouts are part of the contract: a plug-in that reads them is compiled with the same compiler
 * family against image/zr_image.h, annotation/zr_anno_model2d.h and core/zr_array.h, and
 * uses only their inline members (it links nothing of the system). */
#ifdef __cplusplus
class ZR_Image;
class ZR_AnnoModel2D;
template <class T>
class ZR_Array;
typedef ZR_Array<unsigned char> YV_ByteArray;
extern "C" {
#else
typedef struct ZR_Image ZR_Image;
typedef struct ZR_AnnoModel2D ZR_AnnoModel2D;
typedef struct YV_ByteArray YV_ByteArray;
#endif

#if defined(__GNUC__)
#define YV_EXPORT __attribute__((visibility("default")))
#else
#define YV_EXPORT
#endif

/* Texts returned by the plug-in are zero-terminated and owned by it; the system copies them at
 * once. A null text counts as empty. A byte result is non-zero for yes or success. */

/* Called once at load, in this order: YV_IsA, YV_IsThreadSafeGeneration,
 * YV_IsThreadSafeMatching, then YV_Initialize; YV_GetLastError only when YV_Initialize returned
 * 0. The name is also the plug-in's table in the gallery: a plain identifier
 * ([A-Za-z_][A-Za-z0-9_]*), not "people", "images" or "sqlite_...", and unique ignoring case
 * among the loaded plug-ins. An empty name refuses the load. */
YV_EXPORT const char* YV_IsA(void);
YV_EXPORT unsigned char YV_IsThreadSafeGeneration(void);
YV_EXPORT unsigned char YV_IsThreadSafeMatching(void); /* kept, never consulted */
/* init_text: the plug-in folder, "/" and the library's file stem ("<Data_Dir>/FR/Alpha"). */
YV_EXPORT unsigned char YV_Initialize(const char* init_text);
YV_EXPORT const char* YV_GetLastError(void);

/* Called once per enrolled image, from every worker thread at once, and only when
 * YV_IsThreadSafeGeneration returned non-zero. YV_GetTemplateSize gives the template length in
 * bytes (a negative size counts as a failed template); the system sizes the array to indices
 * 0..size-1 and YV_GenerateTemplate writes the template into it. image: the picture as loaded,
 * row 0 at the bottom. model: its fitted landmarks in normalised coordinates (x = column / width,
 * y = row / height from the bottom-left corner). */
YV_EXPORT int32_t YV_GetTemplateSize(void);
YV_EXPORT unsigned char YV_GenerateTemplate(ZR_Image* image, ZR_AnnoModel2D* model,
                                            YV_ByteArray* templ);

/* Resolved at load and never called; a library must still export them. */
YV_EXPORT int32_t YV_GenerateTemplateFromGray(void);
YV_EXPORT int32_t YV_MatchTemplates(void);
YV_EXPORT int32_t YV_MatchTemplateFromPointers(void);
YV_EXPORT int32_t YV_GetAverageImageRows(void);
YV_EXPORT int32_t YV_GetAverageImageCols(void);
YV_EXPORT int32_t YV_AddToAverageFromGray(void);
YV_EXPORT int32_t YV_GenerateTemplateFromAverageGray(void);

/* The types the system calls them through. */
typedef const char* (*YV_IsA_fn)(void);
typedef unsigned char (*YV_IsThreadSafe_fn)(void);
typedef unsigned char (*YV_Initialize_fn)(const char*);
typedef const char* (*YV_GetLastError_fn)(void);
typedef int32_t (*YV_GetTemplateSize_fn)(void);
typedef unsigned char (*YV_GenerateTemplate_fn)(ZR_Image*, ZR_AnnoModel2D*, YV_ByteArray*);
typedef int32_t (*YV_Unused_fn)(void);

#ifdef __cplusplus
}
#endif

#endif /* ENROL_ZR_FR_PLUGIN_API_H */
