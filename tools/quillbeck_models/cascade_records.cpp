// tools/quillbeck_models/cascade_records.cpp: reads an LBP cascade XML through the library's
// file storage and converts it into the system's cascade record. Node groups in the XML are
// left, right, feature index and 8 subset words; the stage threshold is stored as the library
// keeps it after reading (minus 1e-5f), which is what the system's reader hands back.
#include "tools/quillbeck_models/cascade_records.h"

#include <exception>

#include <opencv2/core.hpp>

#include "tools/quillbeck_models/records/cascade_record.h"

bool CascadeFromXml(const std::string& path, zr_cascade_record& r, std::string& error) {
  r = zr_cascade_record();
  try {
    cv::FileStorage fs(path, cv::FileStorage::READ);
    if (!fs.isOpened()) {
      error = "CascadeFromXml() cannot open " + path;
      return false;
    }
    const cv::FileNode root = fs.getFirstTopLevelNode();
    if (std::string(root["stageType"]) != "BOOST" || std::string(root["featureType"]) != "LBP") {
      error = "CascadeFromXml() not a boosted LBP cascade: " + path;
      return false;
    }
    r.version = 1;
    r.stage_type = 0;
    r.feature_type = 1;
    r.window_height = int(root["height"]);
    r.window_width = int(root["width"]);
    r.categories = int(root["featureParams"]["maxCatCount"]);
    const int words = (r.categories + 31) / 32;
    int max_nodes = 0;
    int32_t tree_count = 0;
    for (const cv::FileNode& stage : root["stages"]) {
      const cv::FileNode weak = stage["weakClassifiers"];
      zr_cascade_stage s;
      s.first = tree_count;
      s.count = int32_t(weak.size());
      s.threshold = float(stage["stageThreshold"]) - 1e-5f;
      r.stages.push_back(s);
      for (const cv::FileNode& tree : weak) {
        std::vector<int> nodes;
        std::vector<float> leaves;
        tree["internalNodes"] >> nodes;
        tree["leafValues"] >> leaves;
        const int step = 3 + words;
        const int count = int(nodes.size()) / step;
        if (count < 1 || int(nodes.size()) % step != 0 || int(leaves.size()) != count + 1) {
          error = "CascadeFromXml() malformed tree in " + path;
          return false;
        }
        max_nodes = std::max(max_nodes, count);
        r.trees.push_back(count);
        for (int k = 0; k < count; ++k) {
          const int* g = &nodes[size_t(k * step)];
          r.nodes.push_back({g[2], g[0], g[1], 0.0f});
          for (int w = 0; w < words; ++w) r.subsets.push_back(g[3 + w]);
        }
        r.leaves.insert(r.leaves.end(), leaves.begin(), leaves.end());
        ++tree_count;
      }
    }
    r.stump_based = max_nodes == 1 ? 1 : 0;
    for (const cv::FileNode& feature : root["features"]) {
      std::vector<int> rect;
      feature["rect"] >> rect;
      if (rect.size() != 4) {
        error = "CascadeFromXml() malformed feature in " + path;
        return false;
      }
      r.features.push_back({rect[0], rect[1], rect[2], rect[3]});
    }
    r.eval_width = r.window_width;
    r.eval_height = r.window_height;
    r.eval_offset = 0;
  } catch (const std::exception& e) {
    error = "CascadeFromXml() " + path + ": " + e.what();
    return false;
  }
  if (!CheckCascadeRecord(r, &error)) return false;
  return true;
}

std::vector<uint8_t> CascadeRecordFromXml(const std::string& path, std::string& error) {
  zr_cascade_record r;
  if (!CascadeFromXml(path, r, error)) return {};
  return CascadeRecordBytes(r);
}
