// enrol/zr_person_list.h: ZR_PersonList, one person to enrol with the paths of its images.
#ifndef ENROL_ZR_PERSON_LIST_H
#define ENROL_ZR_PERSON_LIST_H

#include <cstdint>

#include "core/zr_list.h"
#include "core/zr_string.h"

// ZR_PersonList: a person number, a name and the full paths of the person's images in listing
//   order; empty state: id -1, name "", no images (grow step 4). Assignment is member-wise.
//   Owns: its name and image list. Threads: filled on the main thread, then only read (each
//   worker reads the person it was handed).
class ZR_PersonList {
 public:
  ZR_PersonList() : m_id(-1), m_images(4) {}

  int32_t m_id;                 // the person number, or the listing index in recursive mode
  ZR_String m_name;             // the number as "%d", or the file stem in recursive mode
  ZR_List<ZR_String> m_images;  // full paths, '/' separated
};

#endif  // ENROL_ZR_PERSON_LIST_H
