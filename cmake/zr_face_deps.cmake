# cmake/zr_face_deps.cmake: OpenCV (core, imgproc, objdetect) and dlib for the face layer, and the
# locations of the public data the model-file builder and the tests read. Debian's component -dev
# packages ship no OpenCVConfig.cmake, so the headers and libraries are found directly.
find_path(ZR_OPENCV_INCLUDE opencv2/objdetect.hpp PATH_SUFFIXES opencv4 REQUIRED)
foreach(m core imgproc objdetect)
  find_library(ZR_OPENCV_${m} opencv_${m} REQUIRED)
endforeach()
if(NOT TARGET zr_opencv)
  add_library(zr_opencv INTERFACE)
  target_include_directories(zr_opencv SYSTEM INTERFACE ${ZR_OPENCV_INCLUDE})
  target_link_libraries(zr_opencv INTERFACE ${ZR_OPENCV_objdetect} ${ZR_OPENCV_imgproc}
                        ${ZR_OPENCV_core})
endif()
find_package(dlib REQUIRED)

# Public data: opencv-data's LBP cascades, libdlib-data's 68-point predictor and the example photos
# of libdlib19.1. Code receives them as definitions and skips what is absent.
find_path(ZR_LBP_CASCADE_DIR lbpcascade_frontalface.xml PATHS /usr/share/opencv4/lbpcascades
          /usr/share/opencv/lbpcascades NO_DEFAULT_PATH)
find_file(ZR_DLIB_PREDICTOR_DAT shape_predictor_68_face_landmarks.dat PATHS /usr/share/dlib
          NO_DEFAULT_PATH)
find_path(ZR_DLIB_EXAMPLES_DIR faces/dogs.jpg PATHS /usr/share/doc/libdlib19.1/examples
          NO_DEFAULT_PATH)
foreach(v ZR_LBP_CASCADE_DIR ZR_DLIB_PREDICTOR_DAT ZR_DLIB_EXAMPLES_DIR)
  if(NOT ${v})
    set(${v} "")
  endif()
endforeach()
set(ZR_DATA_DEFINITIONS ZR_LBP_CASCADE_DIR="${ZR_LBP_CASCADE_DIR}"
    ZR_DLIB_PREDICTOR_DAT="${ZR_DLIB_PREDICTOR_DAT}" ZR_DLIB_EXAMPLES_DIR="${ZR_DLIB_EXAMPLES_DIR}")
