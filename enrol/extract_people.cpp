// enrol/extract_people.cpp: the person-list builders. Grouping sorts (number, listing index)
// pairs instead of allocating one slot per number between the smallest and the largest, so that
// "0_a.jpg" beside "99999999_b.jpg" costs two entries, not 10^8 lists; people, image order and
// log lines are those a slot table gives. The console progress of the adding phase is the slot
// table's own (every tenth slot) while the spread is small, and every tenth occupied slot beyond.
#include "enrol/extract_people.h"

#include "core/zr_file_system.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t kFileListGrowStep = 10000;
constexpr uint32_t kPersonListGrowStep = 1000;
// Up to this many slots the adding phase prints the slot table's progress lines exactly.
constexpr int64_t kExactProgressSlots = 100000;

const char* const kOpening = "Extracting people info...";

void WriteLine(std::ostream& out, const std::string& text) {
  out << text << std::endl;
}

// counter + "|" + total + tail, then a flush; tail ends in '\r' so the next line overwrites it.
void Progress(std::ostream& console, int64_t counter, int64_t total, const char* tail) {
  console << counter << "|" << total << tail << std::flush;
}

void Open(std::ostream& log, std::ostream& console) {
  WriteLine(log, kOpening);
  WriteLine(console, kOpening);
}

void Close(std::ostream& log, std::ostream& console, uint32_t people, uint32_t images) {
  const std::string text =
      "Finished extracting person info, num of people = " + std::to_string(people) +
      ", num of images = " + std::to_string(images);
  WriteLine(log, text);
  console << std::endl;
  WriteLine(console, text);
}

}  // namespace

int32_t PersonNumberOfStem(const char* stem) {
  if (stem == nullptr) return -1;
  const char* underscore = std::strchr(stem, '_');
  if (underscore == nullptr) return -1;
  const char* p = stem;
  while (p < underscore && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
  bool negative = false;
  if (p < underscore && (*p == '+' || *p == '-')) negative = *p++ == '-';
  // Accumulated up to just past the 32-bit range, then clamped as strtol into an int32 would.
  const int64_t limit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t value = 0;
  for (; p < underscore && *p >= '0' && *p <= '9'; ++p)
    value = std::min(limit, value * 10 + (*p - '0'));
  if (negative) value = -value;
  return static_cast<int32_t>(std::max<int64_t>(std::min<int64_t>(value, limit - 1), -limit));
}

uint32_t ExtractPeopleOnePerImage(std::ostream& log, std::ostream& console,
                                  const ZR_String& Image_Dir, const char* image_type,
                                  ZR_List<ZR_PersonList>& people) {
  Open(log, console);
  ZR_List<ZR_String> files(kFileListGrowStep);
  const std::string pattern = std::string("*.") + (image_type == nullptr ? "" : image_type);
  GetFilesInFolderTree(files, Image_Dir.m_text, pattern.c_str());
  const uint32_t nfiles = files.m_count;

  people.Clear();
  if (nfiles > 0) people.SetGrowStep(nfiles);  // the whole list in one block
  console << std::endl;
  WriteLine(console, "Extracting image names...");
  for (uint32_t k = 0; k < nfiles; ++k) {
    if (k % 10 == 0) Progress(console, k, nfiles, ")    \r");
    ZR_PersonList person;
    person.m_id = static_cast<int32_t>(k);
    person.m_name = files[k].GetFileStem();
    person.m_images.Add(files[k]);
    people.Add(person);
  }
  Close(log, console, people.m_count, nfiles);
  return nfiles;
}

uint32_t ExtractPeopleFromFeretNames(std::ostream& log, std::ostream& console,
                                     const ZR_String& Image_Dir, const char* image_type,
                                     ZR_List<ZR_PersonList>& people) {
  Open(log, console);
  const std::string type = image_type == nullptr ? "" : image_type;
  ZR_List<ZR_String> files(kFileListGrowStep);
  GetFilesInFolder(files, Image_Dir.m_text, ("*." + type).c_str());
  const uint32_t nfiles = files.m_count;

  // Person numbers, paired with the listing index so that a stable order keeps listing order.
  WriteLine(console, "Getting IDs...");
  std::vector<std::pair<int32_t, uint32_t>> valid;
  valid.reserve(nfiles);
  for (uint32_t k = 0; k < nfiles; ++k) {
    if (k % 10 == 0) Progress(console, k, nfiles, ")  \r");
    const ZR_String stem = files[k].GetFileStem();
    const int32_t number = PersonNumberOfStem(stem.m_text);
    if (number < 0)
      WriteLine(log, std::string(stem.m_text) + "." + type + " Failed to get person ID");
    else
      valid.emplace_back(number, k);
  }

  console << std::endl;
  WriteLine(console, "Sorting people...");
  for (uint32_t k = 0; k < nfiles; k += 10) Progress(console, k, nfiles, ")  \r");
  std::stable_sort(valid.begin(), valid.end(),
                   [](const std::pair<int32_t, uint32_t>& a,
                      const std::pair<int32_t, uint32_t>& b) { return a.first < b.first; });

  people.Clear();
  people.SetGrowStep(kPersonListGrowStep);
  console << std::endl;
  WriteLine(console, "Adding people...");
  if (!valid.empty()) {
    const int64_t smallest = valid.front().first;
    const int64_t slots = int64_t{valid.back().first} - smallest + 2;  // last slot stays empty
    const bool exact_progress = slots <= kExactProgressSlots;
    if (exact_progress)
      for (int64_t s = 0; s < slots; s += 10) Progress(console, s, slots, ")  \r");
    for (size_t first = 0; first < valid.size();) {
      const int32_t number = valid[first].first;
      const int64_t slot = number - smallest;
      if (!exact_progress && slot % 10 == 0) Progress(console, slot, slots, ")  \r");
      ZR_PersonList person;
      person.m_id = number;
      person.m_name = ZR_String(number);
      size_t last = first;
      for (; last < valid.size() && valid[last].first == number; ++last)
        person.m_images.Add(files[valid[last].second]);
      people.Add(person);
      first = last;
    }
  }
  const uint32_t images = static_cast<uint32_t>(valid.size());
  Close(log, console, people.m_count, images);
  return images;
}

uint32_t ExtractPeopleOnePerImage(std::ostream& log, const ZR_String& Image_Dir,
                                  const char* image_type, ZR_List<ZR_PersonList>& people) {
  return ExtractPeopleOnePerImage(log, std::cout, Image_Dir, image_type, people);
}

uint32_t ExtractPeopleFromFeretNames(std::ostream& log, const ZR_String& Image_Dir,
                                     const char* image_type, ZR_List<ZR_PersonList>& people) {
  return ExtractPeopleFromFeretNames(log, std::cout, Image_Dir, image_type, people);
}
