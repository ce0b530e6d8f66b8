// enrol/enroll_queue.cpp: the batch's image list and the record assembly. The claim counter only
// has to hand each item out once, so it is relaxed; a person's remaining count is decremented
// with acquire-release, so the worker that takes it to zero sees every slot of that person.
#include "enrol/enroll_queue.h"

void ImageOutcome::AddError(const char* message, const ZR_String& name, const ZR_String& path) {
  EnrollError error;
  error.m_message = message;
  error.m_image = name;
  error.m_path = path;
  m_errors.Add(error);
}

void AssemblePersonRecord(const ZR_PersonList& person, ImageOutcome* outcomes,
                          ZR_AddPersonFRT& record) {
  record.m_thumbnails.Clear();
  record.m_face_jpegs.Clear();
  record.m_landmark_blobs.Clear();
  record.m_template_sets.Clear();
  record.m_enrolled_images.Clear();
  record.m_best_image = -1;
  record.m_person_id = person.m_id;
  record.m_name = person.m_name;
  record.m_image_names = person.m_images;
  float best_length = 3.4028235e38f;
  for (uint32_t i = 0; i < person.m_images.m_count; ++i) {
    ImageOutcome& image = outcomes[i];
    if (image.m_enrolled) {
      ++record.m_successes;
      record.m_thumbnails.Add(image.m_blobs.m_thumbnail);
      record.m_face_jpegs.Add(image.m_blobs.m_face_jpeg);
      record.m_landmark_blobs.Add(image.m_blobs.m_landmarks);
      if (image.m_posed)
        ChooseMoreFrontal(image.m_pose_length, int32_t(record.m_thumbnails.m_count) - 1,
                          best_length, record.m_best_image);
      record.m_template_sets.Add(image.m_templates);
      record.m_enrolled_images.Add(int32_t(i));
    }
    for (uint32_t e = 0; e < image.m_errors.m_count; ++e) record.m_errors.Add(image.m_errors[e]);
    image = ImageOutcome();
  }
}

EnrollQueue::EnrollQueue(const ZR_List<ZR_PersonList>& people, uint32_t first, uint32_t count,
                         ZR_List<ZR_AddPersonFRT>& records)
    : m_people(people), m_first(first), m_records(records),
      m_remaining(new std::atomic<uint32_t>[count]) {
  m_person_start.resize(count);
  for (uint32_t p = 0; p < count; ++p) {
    const ZR_PersonList& person = people[first + p];
    m_person_start[p] = uint32_t(m_item_person.size());
    m_item_person.insert(m_item_person.end(), person.m_images.m_count, p);
    m_remaining[p].store(person.m_images.m_count, std::memory_order_relaxed);
    if (person.m_images.m_count == 0) AssemblePersonRecord(person, nullptr, records[p]);
  }
  m_outcomes.resize(m_item_person.size());
}

const ZR_PersonList& EnrollQueue::PersonOf(uint32_t item) const {
  return m_people[m_first + m_item_person[item]];
}

const ZR_String& EnrollQueue::PathOf(uint32_t item) const {
  const uint32_t p = m_item_person[item];
  return PersonOf(item).m_images[item - m_person_start[p]];
}

void EnrollQueue::Finish(uint32_t item) {
  const uint32_t p = m_item_person[item];
  if (m_remaining[p].fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  AssemblePersonRecord(PersonOf(item), &m_outcomes[m_person_start[p]], m_records[p]);
}

void EnrollQueue::FailUnclaimed(const char* message, const ZR_String& image_folder) {
  for (uint32_t item = Claim(); item < Items(); item = Claim()) {
    const ZR_String& path = PathOf(item);
    SlotOf(item).AddError(message, GetRelativeImageName(path, image_folder), path);
    Finish(item);
  }
}
