// enrol/enroll_queue.h: the work of one batch as a list of images that every worker claims from,
// each image's outcome in a slot of its own, and the assembly of a person's record from the
// outcomes of its images in image order.
#ifndef ENROL_ENROLL_QUEUE_H
#define ENROL_ENROLL_QUEUE_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/zr_list.h"
#include "core/zr_string.h"
#include "enrol/enroll_image_steps.h"
#include "enrol/zr_add_person_frt.h"
#include "enrol/zr_person_list.h"

// ImageOutcome: what enrolling one image gave. Empty: no error, not enrolled, no blobs, no pose.
//   m_errors holds the image's failures in the order they arose (one failed step, or one per
//   plug-in whose template failed); the blobs, the pose and the templates mean something only
//   when m_enrolled.
struct ImageOutcome {
  ZR_List<EnrollError> m_errors;
  bool m_enrolled = false;
  ImageBlobs m_blobs;
  bool m_posed = false;      // false when the pose could not be estimated
  float m_pose_length = 0;   // PoseLength of the pose, when m_posed
  FRpluginTemplateSet m_templates;

  void AddError(const char* message, const ZR_String& name, const ZR_String& path);
};

// Fills record from person and the outcomes of its images, outcomes[i] being image i's, exactly
// as enrolling the images one after the other into it would: the errors in image order, one
// success, three blobs, a template set and its index i per enrolled image, and the best image
// chosen by ChooseMoreFrontal over the posed enrolled images in image order. The record's blob,
// template and enrolled-image lists and best image are reset first; errors and successes are
// added to. The outcomes are emptied as they are taken, so a batch holds each image's blobs once.
void AssemblePersonRecord(const ZR_PersonList& person, ImageOutcome* outcomes,
                          ZR_AddPersonFRT& record);

// EnrollQueue: the images of one batch's people, shared by every worker given it. Record i
//   belongs to people[first + i], for i < count. The work items are every image of every person,
//   in person order then image order; a worker claims the next unstarted item, enrols it into the
//   item's outcome slot, and the worker that finishes a person's last image assembles that
//   person's record. A person without images gets its record on construction.
//   Threads: the driver makes it before signalling the workers' runEvents and leaves it alone
//   until their finEvents; workers touch only the claim counter, the slots they claimed, the
//   persons' remaining counts and the records they assemble.
class EnrollQueue {
 public:
  EnrollQueue(const ZR_List<ZR_PersonList>& people, uint32_t first, uint32_t count,
              ZR_List<ZR_AddPersonFRT>& records);
  EnrollQueue(const EnrollQueue&) = delete;
  EnrollQueue& operator=(const EnrollQueue&) = delete;

  // The number of work items: the images of the batch's people.
  uint32_t Items() const { return uint32_t(m_item_person.size()); }

  // The next unclaimed item, or Items() and above when none is left.
  uint32_t Claim() { return m_next.fetch_add(1, std::memory_order_relaxed); }

  // Item's person and image path, and the slot its outcome goes into.
  const ZR_PersonList& PersonOf(uint32_t item) const;
  const ZR_String& PathOf(uint32_t item) const;
  ImageOutcome& SlotOf(uint32_t item) { return m_outcomes[item]; }

  // Marks item finished; assembles its person's record when it was the person's last image.
  void Finish(uint32_t item);

  // Claims every item left unclaimed, gives each the one error message with its relative name
  // under image_folder and its path, and finishes it, so that every record is assembled. Only
  // once no worker can claim any more (every worker given the queue has stopped).
  void FailUnclaimed(const char* message, const ZR_String& image_folder);

 private:
  const ZR_List<ZR_PersonList>& m_people;
  uint32_t m_first;
  ZR_List<ZR_AddPersonFRT>& m_records;
  std::vector<uint32_t> m_item_person;   // record index of each item
  std::vector<uint32_t> m_person_start;  // first item of each record's person
  std::vector<ImageOutcome> m_outcomes;  // one per item
  std::unique_ptr<std::atomic<uint32_t>[]> m_remaining;  // unfinished images per person
  std::atomic<uint32_t> m_next{0};
};

#endif  // ENROL_ENROLL_QUEUE_H
