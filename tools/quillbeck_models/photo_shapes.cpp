// tools/quillbeck_models/photo_shapes.cpp: fits dlib's 68-point predictor, as dlib runs it, to the
// example photos. The photos are decoded by the system's own loader so that the builder needs no
// image support from dlib; the copy flips the system's bottom-up rows into dlib's top-down ones.
#include "tools/quillbeck_models/photo_shapes.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include <dlib/image_processing.h>
#include <dlib/image_processing/frontal_face_detector.h>

#include "image/zr_image.h"

const char kHeldOutPerson[] = "John_Schneider";

bool PhotoShapes68(const std::string& photo_dir, const std::string& skip_folder,
                   const std::string& dat_path, std::vector<std::vector<ZR_Vector2D>>& shapes,
                   std::string& error) {
  shapes.clear();
  std::vector<std::string> photos;
  std::error_code ec;
  if (!photo_dir.empty())
    for (const auto& e : std::filesystem::recursive_directory_iterator(photo_dir, ec))
      if (e.path().extension() == ".jpg" && e.path().parent_path().filename() != skip_folder)
        photos.push_back(e.path().string());
  std::sort(photos.begin(), photos.end());
  if (photos.empty()) return true;

  dlib::shape_predictor predictor;
  dlib::frontal_face_detector detector;
  try {
    dlib::deserialize(dat_path) >> predictor;
    detector = dlib::get_frontal_face_detector();
  } catch (const std::exception& e) {
    error = std::string("PhotoShapes68() Error! ") + e.what();
    return false;
  }
  for (const std::string& path : photos) {
    ZR_Image image;
    if (!image.Load(path.c_str()) || image.m_rows < 1 || image.m_cols < 1) continue;
    dlib::array2d<dlib::rgb_pixel> copy(image.m_rows, image.m_cols);
    for (int r = 0; r < image.m_rows; ++r)
      for (int c = 0; c < image.m_cols; ++c) {
        const ZR_Colour& p = image[image.m_rows - 1 - r][c];
        copy[r][c] = dlib::rgb_pixel(p.r, p.g, p.b);
      }
    const std::vector<dlib::rectangle> faces = detector(copy);
    if (faces.empty()) continue;
    const dlib::full_object_detection shape = predictor(copy, faces[0]);
    if (shape.num_parts() != 68) continue;
    std::vector<ZR_Vector2D> points;
    for (unsigned long k = 0; k < 68; ++k)
      points.push_back(ZR_Vector2D(float(shape.part(k).x()), float(shape.part(k).y())));
    shapes.push_back(points);
  }
  return true;
}
