// enrol/zr_add_person_frt.h: the records that carry one person's enrolment result from its worker
// to the main thread: ZR_AddPersonFRT per person, EnrollError per failure and FRpluginTemplateSet
// per enrolled image. They live by value in ZR_Lists, whose elements never move while the batch
// list grows, so a worker may keep a pointer to its record.
#ifndef ENROL_ZR_ADD_PERSON_FRT_H
#define ENROL_ZR_ADD_PERSON_FRT_H

#include <cstdint>

#include "core/zr_array.h"
#include "core/zr_list.h"
#include "core/zr_string.h"

// Template status codes of FRpluginTemplateSet::m_status.
constexpr int32_t ZR_TEMPLATE_NOT_ASKED = -1;  // the plug-in's generation is not thread-safe
constexpr int32_t ZR_TEMPLATE_FAILED = 0;
constexpr int32_t ZR_TEMPLATE_MADE = 1;

// EnrollError: one failed image or failed template. Empty: all three texts empty.
//   The log shows the relative name; the copy of a failed image is made from the full path, since
//   the relative name cannot be turned back into the path in every case (a folder given with a
//   trailing '/', or whose name holds a '.'). Part of no file or plug-in contract.
class EnrollError {
 public:
  ZR_String m_message;  // e.g. "Failed to load"
  ZR_String m_image;    // the image's name relative to the image folder
  ZR_String m_path;     // the image's full path, as the person list holds it

  EnrollError() = default;
  EnrollError(const EnrollError& other) = default;
  EnrollError& operator=(const EnrollError& other) = default;
};

// FRpluginTemplateSet: the templates of one enrolled image, entry k belonging to plug-in k of the
//   gallery's list. Empty: three empty lists (grow step 4).
//   Invariant (once filled): the three lists have one entry per plug-in; an entry's template is
//   empty unless its status is ZR_TEMPLATE_MADE or the plug-in left bytes behind on a failure.
class FRpluginTemplateSet {
 public:
  ZR_List<ZR_String> m_names;                    // plug-in name = its gallery table
  ZR_List<ZR_Array<unsigned char>> m_templates;  // template bytes
  ZR_List<int32_t> m_status;                     // ZR_TEMPLATE_NOT_ASKED / _FAILED / _MADE

  FRpluginTemplateSet() = default;
  FRpluginTemplateSet(const FRpluginTemplateSet& other) = default;
  FRpluginTemplateSet& operator=(const FRpluginTemplateSet& other) = default;

  // The entry whose template goes into table name: the first entry of that name, when its
  // status is ZR_TEMPLATE_MADE and it has a template slot; else -1.
  int32_t EntryToStore(const ZR_String& name) const {
    const int32_t k = m_names.Find(name);
    if (k < 0 || uint32_t(k) >= m_status.m_count || uint32_t(k) >= m_templates.m_count) return -1;
    return m_status[uint32_t(k)] == ZR_TEMPLATE_MADE ? k : -1;
  }
};

// ZR_AddPersonFRT: one person's result. Empty: person id -1, best image -1, successes 0, every
//   text and list empty (lists grow by 4), image ids empty (0..-1).
//   Invariants: m_thumbnails, m_face_jpegs, m_landmark_blobs, m_template_sets and
//     m_enrolled_images hold one entry per enrolled image, entry j of each for the j-th enrolled
//     image, and m_successes is their count; m_best_image is -1 or an index below the thumbnail
//     count. Once the gallery stored the images, m_image_ids[j] is the images row of image j (-1
//     where a row failed).
//   Threads: written by one worker while it runs, read by the main thread after it finished.
class ZR_AddPersonFRT {
 public:
  int32_t m_person_id;                                // person number; then the people row id
  ZR_String m_name;                                   // the person name
  ZR_List<ZR_Array<unsigned char>> m_thumbnails;      // thumbnail JPEG per enrolled image
  ZR_List<ZR_Array<unsigned char>> m_face_jpegs;      // face JPEG per enrolled image
  ZR_List<ZR_Array<unsigned char>> m_landmark_blobs;  // "amod" blob per enrolled image
  int32_t m_best_image;                               // most frontal image, or -1
  ZR_List<ZR_String> m_image_names;                   // full paths of all the person's images
  ZR_List<EnrollError> m_errors;                      // one per failed image or template
  int32_t m_successes;                                // images enrolled
  ZR_List<FRpluginTemplateSet> m_template_sets;       // one per enrolled image
  ZR_Array<int32_t> m_image_ids;                      // images row id per enrolled image
  ZR_List<int32_t> m_enrolled_images;                 // m_image_names index per enrolled image

  ZR_AddPersonFRT() : m_person_id(-1), m_best_image(-1), m_successes(0) {}
  // Member by member in declaration order; each member's own assignment leaves a
  // self-assignment unchanged.
  ZR_AddPersonFRT(const ZR_AddPersonFRT& other) = default;
  ZR_AddPersonFRT& operator=(const ZR_AddPersonFRT& other) = default;
};

#endif  // ENROL_ZR_ADD_PERSON_FRT_H
