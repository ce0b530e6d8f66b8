// enrol/enroll_progress.cpp: the driver's console texts (the progress line and its time
// remaining, the gallery counts) and the chunked wait for a turn's finished events. Every figure
// is single precision and printed by truncation, so the texts are the same on every build.
#include "enrol/enroll_people.h"

#include <cmath>

#include "core/zr_wait_for_events.h"
#include "enrol/zr_sqlite_gallery.h"

ZR_String FormatHoursMinutes(float seconds) {
  float minutes = seconds / 60.0f;
  float hours = 0.0f;
  if (minutes > 60.0f) {
    hours = std::floor(minutes / 60.0f);
    minutes = minutes - 60.0f * hours;
  }
  ZR_String text(static_cast<int>(hours));
  text += " hrs ";
  text.AppendFloat(minutes, 2);
  text += " min";
  return text;
}

void PrintProgress(std::ostream& console, uint32_t done, uint32_t total, float seconds,
                   uint32_t errors) {
  if (done == 0) {
    console << "0|" << total << ") " << errors << " errors    \r" << std::flush;
    return;
  }
  const float rate = static_cast<float>(done) / seconds;
  const float percent = static_cast<float>(done) / static_cast<float>(total) * 100.0f;
  // total - done in 32 bits: a total below done (a caller's fault) must not wrap to 4e9.
  const float left = done < total ? static_cast<float>(total - done) : 0.0f;
  const float remaining = seconds / static_cast<float>(done) * left;
  ZR_String figures;
  figures.AppendFloat(rate, 1);
  figures += " ims/sec ";
  figures.AppendFloat(percent, 2);
  figures += "% done ";
  figures += FormatHoursMinutes(remaining);
  console << done << "|" << total << ") " << errors << " errors " << figures.m_text << " remain  \r"
          << std::flush;
}

std::ostream& PrintGallerySummary(std::ostream& stream, ZR_SQliteGallery& gallery) {
  stream << "Number of people in gallery = "
         << gallery.GetValFromDB("SELECT COUNT(person_id) FROM people;") << std::endl;
  stream << "Number of images in gallery = "
         << gallery.GetValFromDB("SELECT COUNT(image_id) FROM images;") << std::endl;
  for (uint32_t j = 0; j < gallery.m_plugins.m_count; ++j) {
    const ZR_String& name = gallery.m_plugins[j]->m_name;
    stream << "Number of templates in " << name.m_text << " = "
           << gallery.GetNumTemplatesDB(name.m_text) << std::endl;
  }
  return stream;
}

bool WaitForAllEvents(const ZR_EventHandle* handles, uint32_t n) {
  for (uint32_t first = 0; first < n; first += ZR_MAXIMUM_WAIT_OBJECTS) {
    const uint32_t count =
        n - first < ZR_MAXIMUM_WAIT_OBJECTS ? n - first : ZR_MAXIMUM_WAIT_OBJECTS;
    uint32_t index = 0;
    if (WaitForEvents(handles + first, count, true, ZR_WAIT_NO_LIMIT, index) != 0) return false;
  }
  return true;
}
