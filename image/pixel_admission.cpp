// image/pixel_admission.cpp: the calling thread's admission. It is the one piece of per-thread
// state in the image layer: threading a parameter through every reader, whose signatures the
// plug-ins and the tests use, would reach much further than this hook.
#include "image/pixel_admission.h"

namespace {

thread_local ZR_PixelAdmission* t_admission = nullptr;

}  // namespace

ZR_ScopedPixelAdmission::ZR_ScopedPixelAdmission(ZR_PixelAdmission& admission)
    : m_previous(t_admission) {
  t_admission = &admission;
}

ZR_ScopedPixelAdmission::~ZR_ScopedPixelAdmission() {
  t_admission = m_previous;
}

void ZR_AdmitPixels(int64_t pixels) {
  if (t_admission != nullptr) t_admission->Admit(pixels);
}
