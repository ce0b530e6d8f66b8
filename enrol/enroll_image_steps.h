// enrol/enroll_image_steps.h: the steps of the per-image pipeline that need no face models: the
// image's name relative to the image folder, the thumbnail and face JPEGs, the three blobs of one
// image made all or nothing, and the choice of the most frontal image.
#ifndef ENROL_ENROLL_IMAGE_STEPS_H
#define ENROL_ENROLL_IMAGE_STEPS_H

#include <cstdint>

#include "annotation/zr_anno_model2d.h"
#include "core/zr_array.h"
#include "core/zr_string.h"
#include "enrol/zr_add_person_frt.h"
#include "image/zr_image.h"

// The text of path after the first occurrence of the image folder's file stem, or the whole path
// when the stem does not occur (an empty stem, from a folder ending in '/', gives the whole path):
// "D:/data/faces" and "D:/data/faces/sub/00001_fa.jpg" give "/sub/00001_fa.jpg". Used in the log
// only; the stem may first match earlier in the path, so the name is never turned back into one.
ZR_String GetRelativeImageName(const ZR_String& path, const ZR_String& image_folder);

// The thumbnail: a copy of image cropped around the included landmarks of a copy of model with
// margin (0.3, 0.4), 96 rows high, JPEG quality 90, into out. False, out empty, when the crop
// refuses or the encoder fails or gives no bytes. image and model are not changed.
bool MakeThumbnailJpeg(const ZR_Image& image, const ZR_AnnoModel2D& model,
                       ZR_Array<unsigned char>& out);

// The face image: face_model := model, then the face region (margin 0.6, aspect 0.75, 600 x 450)
// with face_model's points mapped into it, JPEG quality 95, into out. False, out empty, when the
// crop refuses (face_model then still equals model) or the encoder fails or gives no bytes.
bool MakeFaceJpeg(const ZR_Image& image, const ZR_AnnoModel2D& model, ZR_Array<unsigned char>& out,
                  ZR_AnnoModel2D& face_model);

// ImageBlobs: the three blobs of one enrolled image. Empty: three empty arrays.
struct ImageBlobs {
  ZR_Array<unsigned char> m_thumbnail;
  ZR_Array<unsigned char> m_face_jpeg;
  ZR_Array<unsigned char> m_landmarks;  // "amod" blob of the landmarks in the face JPEG's frame
};

// Makes the image's thumbnail, face JPEG and landmark blob into out, each whatever the others
// gave. True when all three were made; otherwise, also when a step throws, out is empty and the
// result is false.
bool MakeImageBlobs(const ZR_Image& image, const ZR_AnnoModel2D& model, ImageBlobs& out);

// Length of a pose vector of angles: sqrt(x^2 + y^2 + z^2) in single precision.
float PoseLength(float x, float y, float z);

// Makes image index the best one when its pose length is strictly below best_length; ties keep the
// earlier image, and a NaN length never wins.
void ChooseMoreFrontal(float length, int32_t index, float& best_length, int32_t& best_image);

#endif  // ENROL_ENROLL_IMAGE_STEPS_H
