// tests/annotation/zr_anno_layout_test.cpp: the layout code of small models and the rewrite of a full
// layout into the reduced one, on a synthetic model whose points name their group and index.
#include "annotation/zr_anno_model2d.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

const char* const kFullGroups[] = {"FACE",     "BROW RIDGE",  "NOSE",       "RIGHT EYE",
                                   "LEFT EYE", "OUTER MOUTH", "INNER MOUTH"};
const uint32_t kFullCounts[] = {19, 11, 24, 7, 7, 11, 11};

ZR_Annotation2D Group(const std::string& name, uint32_t points, float tag = 0) {
  ZR_Annotation2D a;
  a.m_name = name.c_str();
  for (uint32_t i = 0; i < points; ++i) a.Add(ZR_Vector2D(tag, float(i)));
  return a;
}

ZR_AnnoModel2D Model(const std::vector<std::pair<std::string, uint32_t>>& groups) {
  ZR_AnnoModel2D m;
  for (const auto& g : groups) m.Add(Group(g.first, g.second));
  return m;
}

// The full layout with point (group number, index) and some non-default fields to drop, plus
// groups that the reduced layout does not keep.
ZR_AnnoModel2D FullModel() {
  ZR_AnnoModel2D m;
  m.m_flag = 5;
  m.Add(Group("EARS", 4, 99));
  for (int g = 0; g < 7; ++g) {
    ZR_Annotation2D a = Group(kFullGroups[g], kFullCounts[g], float(g));
    a.m_value = 40 + g;
    a.m_include = 2;
    a.m_flag = 0;
    a.m_colour[0] = 200;
    a.m_open = g == 3 ? 0 : 2;  // FACE's 2 becomes 1; RIGHT EYE keeps its closed 0
    a.m_fixed.Add(1);
    m.Add(a);
  }
  m.Add(Group("MOUTH", 4, 98));
  return m;
}

TEST(AnnoLayout, CodeOfSmallModels) {
  const struct {
    const char* what;
    ZR_AnnoModel2D model;
    int32_t code;
  } cases[] = {
      {"empty", Model({}), 0},
      {"coarse", Model({{"NOSE", 3}, {"MOUTH", 4}}), 2},
      {"coarse, mouth first", Model({{"MOUTH", 4}, {"NOSE", 3}}), 2},
      {"reduced", Model({{"NOSE", 13}, {"OUTER MOUTH", 6}}), 1},
      {"reduced with others", Model({{"FACE", 11}, {"NOSE", 13}, {"OUTER MOUTH", 6}}), 1},
      {"MOUTH spoils reduced", Model({{"NOSE", 13}, {"OUTER MOUTH", 6}, {"MOUTH", 4}}), 0},
      {"no nose", Model({{"MOUTH", 4}, {"OUTER MOUTH", 6}}), 0},
      {"coarse counts wrong", Model({{"NOSE", 3}, {"MOUTH", 5}}), 0},
      {"reduced without outer mouth", Model({{"NOSE", 13}}), 0},
      {"reduced counts wrong", Model({{"NOSE", 13}, {"OUTER MOUTH", 7}}), 0},
      {"full", FullModel(), 0},
      {"names are exact", Model({{"nose", 3}, {"MOUTH", 4}}), 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.code, c.model.GetLayoutCode()) << c.what;
}

TEST(AnnoLayout, ReducedModelTakesTheTablesPointsAndFixedIndices) {
  const std::vector<std::vector<int>> sources = {{4, 5, 7, 9, 10, 11, 12, 13, 15, 17, 18},
                                                 {0, 2, 4, 6, 8, 10},
                                                 {1, 4, 5, 6, 8, 10, 12, 14, 16, 18, 19, 20, 23},
                                                 {0, 2, 4, 6},
                                                 {0, 2, 4, 6},
                                                 {0, 2, 4, 6, 8, 10},
                                                 {0, 2, 4, 6, 8, 10}};
  const std::vector<std::vector<int>> fixed = {
      {0, 2, 5, 8, 10}, {0, 2, 3, 5}, {0, 2, 4, 6, 8, 10, 12}, {0, 1, 2}, {0, 1, 2},
      {0, 1, 2, 3},     {0, 1, 2, 3}};
  ZR_AnnoModel2D m = FullModel();
  m.ReduceLayout();
  EXPECT_EQ(5, m.m_flag);
  ASSERT_EQ(7u, m.m_count);  // "EARS" and "MOUTH" are gone
  for (uint32_t g = 0; g < 7; ++g) {
    const ZR_Annotation2D& a = m[g];
    EXPECT_TRUE(a.m_name == kFullGroups[g]) << g;
    ASSERT_EQ(sources[g].size(), a.m_count) << kFullGroups[g];
    for (uint32_t i = 0; i < a.m_count; ++i) {
      EXPECT_EQ(float(g), a[i].x) << kFullGroups[g] << " " << i;
      EXPECT_EQ(float(sources[g][i]), a[i].y) << kFullGroups[g] << " " << i;
    }
    ASSERT_EQ(fixed[g].size(), a.m_fixed.m_count) << kFullGroups[g];
    for (uint32_t i = 0; i < a.m_fixed.m_count; ++i) EXPECT_EQ(fixed[g][i], a.m_fixed[i]);
    EXPECT_EQ(g == 0 ? 1 : g == 3 ? 0 : 2, a.m_open) << kFullGroups[g];
    // Nothing else of the source survives.
    EXPECT_EQ(1, a.m_value);
    EXPECT_EQ(1, a.m_include);
    EXPECT_EQ(1, a.m_flag);
    EXPECT_EQ(0, a.m_colour[0]);
    EXPECT_EQ(255, a.m_colour[2]);
  }
  EXPECT_EQ(1, m.GetLayoutCode());
}

TEST(AnnoLayout, ReducedAndCoarseModelsAreLeftAlone) {
  for (auto groups : {std::vector<std::pair<std::string, uint32_t>>{{"NOSE", 3}, {"MOUTH", 4}},
                      {{"EARS", 2}, {"NOSE", 13}, {"OUTER MOUTH", 6}}}) {
    ZR_AnnoModel2D m = Model(groups);
    m.ReduceLayout();
    ASSERT_EQ(groups.size(), m.m_count);
    for (uint32_t g = 0; g < m.m_count; ++g) {
      EXPECT_TRUE(m[g].m_name == groups[g].first.c_str());
      EXPECT_EQ(groups[g].second, m[g].m_count);
    }
  }
}

TEST(AnnoLayout, ModelWithoutNoseIsRebuiltAndShortGroupsLoseWhatTheyLack) {
  ZR_AnnoModel2D m = Model({{"LEFT EYE", 7}, {"FACE", 6}, {"SCAR", 3}, {"NOSE", 0}});
  m.ReduceLayout();
  ASSERT_EQ(3u, m.m_count);
  EXPECT_EQ(4u, m[0].m_count);
  // FACE had points 0..5: of 4, 5, 7, ... only 4 and 5 exist, and of its fixed indices 0, 2, 5,
  // 8, 10 only 0 still names a point.
  ASSERT_EQ(2u, m[1].m_count);
  EXPECT_EQ(4, m[1][0].y);
  EXPECT_EQ(5, m[1][1].y);
  ASSERT_EQ(1u, m[1].m_fixed.m_count);
  EXPECT_EQ(0, m[1].m_fixed[0]);
  EXPECT_EQ(0u, m[2].m_count);
  EXPECT_EQ(0u, m[2].m_fixed.m_count);
}

}  // namespace
