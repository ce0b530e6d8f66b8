// tools/quillbeck_models/cascade_records.h: cascade records from the library's LBP cascade XML
// files (opencv-data's lbpcascades/), written as the system's reader reads them.
#ifndef TOOLS_QUILLBECK_MODELS_CASCADE_RECORDS_H
#define TOOLS_QUILLBECK_MODELS_CASCADE_RECORDS_H

#include <cstdint>
#include <string>
#include <vector>

#include "face/detect/zr_cascade_record.h"

// Fills r from one LBP cascade XML: window, 256 categories, stages with the library's in-memory
// thresholds (text value - 1e-5f), trees, nodes {feature, left, right, 0}, leaves, subset words
// and the features' rectangles; evaluator words W, H, 0 and rectangle 0. False with the reason
// in error for a file the library cannot read or that is not a boosted LBP cascade.
bool CascadeFromXml(const std::string& path, zr_cascade_record& r, std::string& error);

// The record bytes of CascadeFromXml's cascade, or empty with the reason in error.
std::vector<uint8_t> CascadeRecordFromXml(const std::string& path, std::string& error);

#endif  // TOOLS_QUILLBECK_MODELS_CASCADE_RECORDS_H
