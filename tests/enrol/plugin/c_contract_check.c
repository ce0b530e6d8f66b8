/* tests/enrol/plugin/c_contract_check.c: the plug-in contract header compiles as C99 on its own,
 * and a C plug-in can define the exports with the declared types. Built, never run. */
#include "enrol/zr_fr_plugin_api.h"

const char* YV_IsA(void) { return "C"; }
unsigned char YV_Initialize(const char* init_text) { return init_text != 0; }
unsigned char YV_GenerateTemplate(ZR_Image* image, ZR_AnnoModel2D* model, YV_ByteArray* templ) {
  return image != 0 && model != 0 && templ != 0;
}

static const YV_IsA_fn kIsA = YV_IsA;
static const YV_Initialize_fn kInitialize = YV_Initialize;
static const YV_GenerateTemplate_fn kGenerate = YV_GenerateTemplate;

int zr_contract_check(void) { return kIsA != 0 && kInitialize != 0 && kGenerate != 0; }
