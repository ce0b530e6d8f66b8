// enrol/enroll_image_steps.cpp: the blob steps of the per-image pipeline. The crops refuse some
// landmark sets and the encoder reports an image without pixels as a success with no bytes, so
// both results are checked: no image is stored with a missing face JPEG or a thumbnail that is
// the whole picture.
#include "enrol/enroll_image_steps.h"

#include <cmath>
#include <cstring>

namespace {

// Encodes image at quality into out; false, out empty, unless there are bytes.
bool EncodeNonEmpty(ZR_Image& image, int32_t quality, ZR_Array<unsigned char>& out) {
  image.m_quality = quality;
  if (image.EncodeJPEG(out) && out.m_count > 0) return true;
  out.Resize(0);
  return false;
}

}  // namespace

ZR_String GetRelativeImageName(const ZR_String& path, const ZR_String& image_folder) {
  const ZR_String stem = image_folder.GetFileStem();
  const char* at = std::strstr(path.m_text, stem.m_text);
  if (at == nullptr) return path;
  return ZR_String(at + stem.m_length - 1);
}

bool MakeThumbnailJpeg(const ZR_Image& image, const ZR_AnnoModel2D& model,
                       ZR_Array<unsigned char>& out) {
  ZR_Image crop;
  ZR_AnnoModel2D crop_model(model);
  if (!crop_model.CropAndNormalise(image, ZR_Vector2D(0.3f, 0.4f), crop)) {
    out.Resize(0);
    return false;
  }
  return EncodeNonEmpty(crop, 90, out);
}

bool MakeFaceJpeg(const ZR_Image& image, const ZR_AnnoModel2D& model, ZR_Array<unsigned char>& out,
                  ZR_AnnoModel2D& face_model) {
  face_model = model;
  ZR_Image crop;
  if (!image.CropFace(face_model, 0.6f, 0.75f, crop)) {
    out.Resize(0);
    return false;
  }
  return EncodeNonEmpty(crop, 95, out);
}

bool MakeImageBlobs(const ZR_Image& image, const ZR_AnnoModel2D& model, ImageBlobs& out) {
  bool made = false;
  try {
    const bool thumb_ok = MakeThumbnailJpeg(image, model, out.m_thumbnail);
    ZR_AnnoModel2D face_model;
    const bool face_ok = MakeFaceJpeg(image, model, out.m_face_jpeg, face_model);
    const bool blob_ok = face_model.Serialise(out.m_landmarks);
    made = thumb_ok && face_ok && blob_ok;
  } catch (...) {  // a crop or the encoder gave up: the image fails its blobs
    made = false;
  }
  if (made) return true;
  out = ImageBlobs();
  return false;
}

float PoseLength(float x, float y, float z) {
  return std::sqrt(x * x + y * y + z * z);
}

void ChooseMoreFrontal(float length, int32_t index, float& best_length, int32_t& best_image) {
  if (length < best_length) {
    best_length = length;
    best_image = index;
  }
}
