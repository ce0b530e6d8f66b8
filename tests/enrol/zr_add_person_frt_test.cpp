// tests/enrol/zr_add_person_frt_test.cpp: the result records are values: a copy shares nothing
// with its source, self-assignment is a no-op, and records keep their addresses in a growing list.
#include "enrol/zr_add_person_frt.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

ZR_Array<unsigned char> Bytes(std::vector<unsigned char> bytes) {
  ZR_Array<unsigned char> a;
  a.Resize(int32_t(bytes.size()));
  for (size_t i = 0; i < bytes.size(); ++i) a[int32_t(i)] = bytes[i];
  return a;
}

FRpluginTemplateSet Set(const char* name, unsigned char byte, int32_t status) {
  FRpluginTemplateSet set;
  set.m_names.Add(name);
  set.m_templates.Add(Bytes({byte, byte}));
  set.m_status.Add(status);
  return set;
}

ZR_AddPersonFRT Person() {
  ZR_AddPersonFRT p;
  p.m_person_id = 12;
  p.m_name = "00012";
  p.m_thumbnails.Add(Bytes({1}));
  p.m_face_jpegs.Add(Bytes({2, 2}));
  p.m_landmark_blobs.Add(Bytes({3, 3, 3}));
  p.m_best_image = 0;
  p.m_image_names.Add("/img/00012_a.jpg");
  p.m_image_names.Add("/img/00012_b.jpg");
  EnrollError e;
  e.m_message = "Failed to load";
  e.m_image = "00012_b.jpg";
  p.m_errors.Add(e);
  e.m_message = "Failed template generation (Gamma)";
  e.m_image = "00012_a.jpg";
  p.m_errors.Add(e);
  p.m_successes = 1;
  p.m_template_sets.Add(Set("Alpha", 7, ZR_TEMPLATE_MADE));
  p.m_template_sets.Add(Set("Gamma", 8, ZR_TEMPLATE_FAILED));
  p.m_image_ids.Resize(1);
  p.m_image_ids[0] = 40;
  return p;
}

void ExpectPerson(const ZR_AddPersonFRT& p) {
  EXPECT_EQ(12, p.m_person_id);
  EXPECT_TRUE(p.m_name == "00012");
  ASSERT_EQ(1u, p.m_face_jpegs.m_count);
  EXPECT_EQ(2u, p.m_face_jpegs[0].m_count);
  EXPECT_EQ(3, p.m_landmark_blobs[0][2]);
  EXPECT_EQ(0, p.m_best_image);
  EXPECT_TRUE(p.m_image_names[1] == "/img/00012_b.jpg");
  ASSERT_EQ(2u, p.m_errors.m_count);
  EXPECT_TRUE(p.m_errors[0].m_message == "Failed to load");
  EXPECT_TRUE(p.m_errors[1].m_image == "00012_a.jpg");
  EXPECT_EQ(1, p.m_successes);
  ASSERT_EQ(2u, p.m_template_sets.m_count);
  EXPECT_TRUE(p.m_template_sets[0].m_names[0] == "Alpha");
  EXPECT_EQ(7, p.m_template_sets[0].m_templates[0][1]);
  EXPECT_EQ(ZR_TEMPLATE_FAILED, p.m_template_sets[1].m_status[0]);
  ASSERT_EQ(1u, p.m_image_ids.m_count);
  EXPECT_EQ(40, p.m_image_ids[0]);
}

}  // namespace

TEST(ZrAddPersonFrt, DefaultRecords) {
  const ZR_AddPersonFRT p;
  EXPECT_EQ(-1, p.m_person_id);
  EXPECT_EQ(-1, p.m_best_image);
  EXPECT_EQ(0, p.m_successes);
  EXPECT_EQ(1u, p.m_name.m_length);
  for (const ZR_List<ZR_Array<unsigned char>>* list :
       {&p.m_thumbnails, &p.m_face_jpegs, &p.m_landmark_blobs}) {
    EXPECT_EQ(0u, list->m_count);
    EXPECT_EQ(4u, list->m_grow_step);
  }
  EXPECT_EQ(4u, p.m_image_names.m_grow_step);
  EXPECT_EQ(4u, p.m_errors.m_grow_step);
  EXPECT_EQ(4u, p.m_template_sets.m_grow_step);
  EXPECT_EQ(0u, p.m_image_ids.m_count);
  EXPECT_EQ(0, p.m_image_ids.m_lo);
  EXPECT_EQ(-1, p.m_image_ids.m_hi);
  const FRpluginTemplateSet set;
  EXPECT_EQ(4u, set.m_status.m_grow_step);
}

TEST(ZrAddPersonFrt, CopiesAreIndependentAndSelfAssignmentIsANoOp) {
  const ZR_AddPersonFRT source = Person();
  ZR_AddPersonFRT copy;
  copy = source;
  copy.m_template_sets[0].m_templates[0][0] = 99;
  copy.m_template_sets[1].m_names[0] = "Delta";
  copy.m_template_sets[1].m_status[0] = ZR_TEMPLATE_MADE;
  copy.m_errors[0].m_message = "changed";
  copy.m_face_jpegs[0][0] = 0;
  copy.m_image_ids[0] = -1;
  ExpectPerson(source);
  EXPECT_EQ(7, source.m_template_sets[0].m_templates[0][0]);
  EXPECT_TRUE(source.m_template_sets[1].m_names[0] == "Gamma");

  ZR_AddPersonFRT again = Person();
  const ZR_AddPersonFRT& same = again;
  again = same;
  ExpectPerson(again);
  const ZR_AddPersonFRT constructed(source);
  ExpectPerson(constructed);
}

TEST(ZrAddPersonFrt, RecordsKeepTheirAddressesWhileTheBatchGrows) {
  ZR_List<ZR_AddPersonFRT> batch;
  batch.Add(Person());
  ZR_AddPersonFRT* first = &batch[0];
  for (int i = 1; i < 9; ++i) batch.Add(ZR_AddPersonFRT());
  EXPECT_EQ(first, &batch[0]);
  EXPECT_EQ(3u, batch.m_blocks);
  ExpectPerson(*first);
}
