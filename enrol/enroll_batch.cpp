// enrol/enroll_batch.cpp: storing one finished batch as a single gallery transaction, logging its
// failures, and copying the failed images. A batch that does not go in is logged image by image
// as a gallery failure, so no image is reported enrolled that the gallery does not hold; a
// template that a table refused is a failure of its image, which stays enrolled.
#include "enrol/enroll_people.h"

#include "core/zr_file_system.h"
#include "enrol/enroll_image_steps.h"
#include "enrol/zr_sqlite_gallery.h"
#include "platform/zr_file_copy.h"

namespace {

const char kPeopleFailed[] = "AddToPeopleTable Failed";
const char kImagesFailed[] = "AddToImagesTable Failed";

// The gallery writes of one batch. Returns null when its people and images are in the gallery,
// with the templates of every table that took them, else the status text of the "Gallery Failed"
// lines. refused gets the name of each template table that did not take the batch's rows, once,
// in plug-in order.
const char* StoreBatch(ZR_SQliteGallery& gallery, ZR_List<ZR_AddPersonFRT>& batch,
                       std::ostream& log, ZR_List<ZR_String>& refused) {
  if (!gallery.BeginBatch()) return kPeopleFailed;
  if (!gallery.AddToPeopleTable(batch)) {
    gallery.EndBatch(false);
    return kPeopleFailed;
  }
  if (!gallery.AddToImagesTable(batch)) {
    gallery.EndBatch(false);
    return kImagesFailed;
  }
  // Each template table writes in a savepoint of its own: one that fails loses only its rows,
  // unless SQLite rolled back the whole batch (a full disk): then nothing more is written.
  for (uint32_t j = 0; j < gallery.m_plugins.m_count; ++j) {
    const ZR_String& name = gallery.m_plugins[j]->m_name;
    gallery.m_error = "";
    if (gallery.AddToFRTable(batch, name.m_text)) continue;
    log << "AddToFRTable Failed (" << name.m_text << ")";
    if (gallery.m_error.m_length > 1) log << ": " << gallery.m_error.m_text;
    log << std::endl;
    if (refused.Find(name) < 0) refused.Add(name);
    if (!gallery.InBatch()) break;
  }
  return gallery.EndBatch(true) ? nullptr : kImagesFailed;
}

// Logs a failure for each of person's enrolled images whose template the table name refused, in
// image order, each named by its path relative to image_folder as the worker names images.
void LogRefusedTemplates(const ZR_AddPersonFRT& person, const ZR_String& name,
                         const ZR_String& image_folder, std::ostream& log, ZR_EnrolTally& tally) {
  EnrollError failure;
  failure.m_message = ZR_String("Failed to store template (") + name + ")";
  const uint32_t n = person.m_face_jpegs.m_count;
  for (uint32_t j = 0; j < n && j < person.m_template_sets.m_count; ++j) {
    if (person.m_template_sets[j].EntryToStore(name) < 0) continue;
    // A record not assembled from its images lacks the index: the failure still counts.
    const int32_t i = j < person.m_enrolled_images.m_count ? person.m_enrolled_images[j] : -1;
    failure.m_path = i >= 0 && uint32_t(i) < person.m_image_names.m_count
                         ? person.m_image_names[uint32_t(i)]
                         : ZR_String();
    failure.m_image = GetRelativeImageName(failure.m_path, image_folder);
    tally.LogFailure(log, failure);
  }
}

}  // namespace

void ZR_EnrolTally::AddFailure(const EnrollError& failure) {
  int32_t g = m_messages.Find(failure.m_message);
  if (g < 0) {
    m_messages.Add(failure.m_message);
    m_failures.Add(ZR_List<EnrollError>());
    g = int32_t(m_messages.m_count) - 1;
  }
  m_failures[uint32_t(g)].Add(failure);
}

void ZR_EnrolTally::LogFailure(std::ostream& log, const EnrollError& failure) {
  log << failure.m_message.m_text << ": " << failure.m_image.m_text << std::endl;
  ++m_errors;
  AddFailure(failure);
}

void StoreAndLogBatch(ZR_SQliteGallery& gallery, ZR_List<ZR_AddPersonFRT>& batch, std::ostream& log,
                      ZR_EnrolTally& tally, const ZR_String& image_folder) {
  ZR_List<ZR_String> refused;
  const char* status = StoreBatch(gallery, batch, log, refused);
  for (uint32_t r = 0; r < batch.m_count; ++r) {
    const ZR_AddPersonFRT& person = batch[r];
    if (status != nullptr) {
      for (uint32_t i = 0; i < person.m_image_names.m_count; ++i) {
        log << person.m_image_names[i].m_text << " Gallery Failed " << status << std::endl;
        ++tally.m_errors;
      }
      continue;
    }
    for (uint32_t e = 0; e < person.m_errors.m_count; ++e)
      tally.LogFailure(log, person.m_errors[e]);
    for (uint32_t t = 0; t < refused.m_count; ++t)
      LogRefusedTemplates(person, refused[t], image_folder, log, tally);
    if (person.m_successes > 0) tally.m_successes += uint32_t(person.m_successes);
  }
}

ZR_String FlattenPath(const ZR_String& path) {
  ZR_String flat(path);
  for (uint32_t i = 1; i + 1 < flat.m_length; ++i)
    if (flat.m_text[i] == '/' || flat.m_text[i] == '\\') flat.m_text[i] = '_';
  return flat;
}

void CopyFailedImages(const ZR_EnrolTally& tally, const ZR_String& copy_folder) {
  for (uint32_t g = 0; g < tally.m_messages.m_count && g < tally.m_failures.m_count; ++g) {
    const ZR_String folder = copy_folder + tally.m_messages[g];
    CreateFolderPath(folder.m_text);
    const ZR_List<EnrollError>& failures = tally.m_failures[g];
    for (uint32_t i = 0; i < failures.m_count; ++i) {
      const ZR_String flat = FlattenPath(failures[i].m_image);
      const char* name =
          flat.m_text[0] == '/' || flat.m_text[0] == '\\' ? flat.m_text + 1 : flat.m_text;
      if (name[0] == '\0') continue;  // no file name to give the copy
      ZR_CopyFile(failures[i].m_path.m_text, (folder + "/" + name).m_text);
    }
  }
}
