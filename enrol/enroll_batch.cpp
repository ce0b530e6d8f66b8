// enrol/enroll_batch.cpp: storing one finished batch as a single gallery transaction, logging its
// failures, and copying the failed images. A batch that does not go in is logged image by image
// as a gallery failure, so no image is reported enrolled that the gallery does not hold.
#include "enrol/enroll_people.h"

#include "core/zr_file_system.h"
#include "enrol/zr_sqlite_gallery.h"
#include "platform/zr_file_copy.h"

namespace {

const char kPeopleFailed[] = "AddToPeopleTable Failed";
const char kImagesFailed[] = "AddToImagesTable Failed";

// The gallery writes of one batch. Returns null when the people, images and templates are in the
// gallery, else the status text of the "Gallery Failed" lines.
const char* StoreBatch(ZR_SQliteGallery& gallery, ZR_List<ZR_AddPersonFRT>& batch,
                       std::ostream& log) {
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
    if (!gallery.InBatch()) break;
  }
  return gallery.EndBatch(true) ? nullptr : kImagesFailed;
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

void StoreAndLogBatch(ZR_SQliteGallery& gallery, ZR_List<ZR_AddPersonFRT>& batch, std::ostream& log,
                      ZR_EnrolTally& tally) {
  const char* status = StoreBatch(gallery, batch, log);
  for (uint32_t r = 0; r < batch.m_count; ++r) {
    const ZR_AddPersonFRT& person = batch[r];
    if (status != nullptr) {
      for (uint32_t i = 0; i < person.m_image_names.m_count; ++i) {
        log << person.m_image_names[i].m_text << " Gallery Failed " << status << std::endl;
        ++tally.m_errors;
      }
      continue;
    }
    for (uint32_t e = 0; e < person.m_errors.m_count; ++e) {
      const EnrollError& error = person.m_errors[e];
      log << error.m_message.m_text << ": " << error.m_image.m_text << std::endl;
      ++tally.m_errors;
      tally.AddFailure(error);
    }
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
