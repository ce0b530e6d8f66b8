// enrol/extract_people.h: the two person-list builders over an image folder: one person per image
// of a whole tree, or people grouped by the person number that leads each file name ("00001_fa"
// belongs to person 1). Both write progress to the console and their opening, closing and
// per-file failure lines to the log.
#ifndef ENROL_EXTRACT_PEOPLE_H
#define ENROL_EXTRACT_PEOPLE_H

#include <cstdint>
#include <ostream>

#include "core/zr_list.h"
#include "core/zr_string.h"
#include "enrol/zr_person_list.h"

// The person number of a file stem: the text before its first '_' read like strtol in base 10
// (leading white space, an optional sign, digits; no digits give 0) and clamped to 32 bits, so
// "4294967297_x" gives 2147483647, not 1. -1 when the stem holds no '_'. Negative results are not
// valid person numbers.
int32_t PersonNumberOfStem(const char* stem);

// Recursive mode: empties people and appends one person per file of the tree below Image_Dir with
// the extension image_type (exact case), in depth-first name order: id = listing index, name =
// file stem, one image. Returns the number of files.
uint32_t ExtractPeopleOnePerImage(std::ostream& log, const ZR_String& Image_Dir,
                                  const char* image_type, ZR_List<ZR_PersonList>& people);
uint32_t ExtractPeopleOnePerImage(std::ostream& log, std::ostream& console,
                                  const ZR_String& Image_Dir, const char* image_type,
                                  ZR_List<ZR_PersonList>& people);

// File-name mode: empties people and appends, in ascending person number, one person per number
// found among the files directly in Image_Dir with the extension image_type (exact case), with
// that number's images in name order; files without a valid number are logged as
// stem + "." + image_type + " Failed to get person ID" and left out. Returns the number of images
// listed. Any spread of numbers is grouped without a slot per number.
uint32_t ExtractPeopleFromFeretNames(std::ostream& log, const ZR_String& Image_Dir,
                                     const char* image_type, ZR_List<ZR_PersonList>& people);
uint32_t ExtractPeopleFromFeretNames(std::ostream& log, std::ostream& console,
                                     const ZR_String& Image_Dir, const char* image_type,
                                     ZR_List<ZR_PersonList>& people);

#endif  // ENROL_EXTRACT_PEOPLE_H
