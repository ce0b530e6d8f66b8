// tests/enrol/zr_sqlite_gallery_plugins_test.cpp: the gallery's plug-in list: which libraries of
// the folder load and in what order, the error and console texts, duplicate names, and templates
// from every plug-in at once, also from many threads.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "enrol/zr_sqlite_gallery.h"
#include "tests/enrol/gallery_fixture.h"

namespace {

std::string Names(const ZR_SQliteGallery& gallery) {
  std::string names;
  for (uint32_t i = 0; i < gallery.m_plugins.m_count; ++i)
    names += std::string(i ? "," : "") + gallery.m_plugins[i]->m_name.m_text;
  return names;
}

void WriteJunk(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "w");
  std::fputs("not a library\n", f);
  std::fclose(f);
}

}  // namespace

TEST(ZrSqliteGalleryPlugins, LoadsEveryUsableLibraryInNameOrder) {
  ZR_DataFolder data;
  data.AddPlugin(ZR_TEST_PLUGIN_GAMMA, "Gamma.so");
  data.AddPlugin(ZR_TEST_PLUGIN_ALPHA, "Alpha.so");
  data.AddPlugin(ZR_TEST_PLUGIN_ALPHA, "Alpha2.SO");  // not "*.so"
  data.AddPlugin(ZR_TEST_PLUGIN_BROKEN, "Broken.so");
  data.AddPlugin(ZR_TEST_PLUGIN_EMPTY, "Empty.so");
  data.AddPlugin(ZR_TEST_PLUGIN_BETA, "Beta.so");
  WriteJunk(data.Fr() + "/Junk.so");
  WriteJunk(data.Fr() + "/notes.txt");

  ZR_SQliteGallery gallery;
  ZR_String err;
  gallery.LoadPlugins(data.Gallery().c_str(), err);
  EXPECT_EQ("Alpha,Beta,Gamma", Names(gallery));
  const std::string heading = "Failed to find to following functions:\n";
  EXPECT_EQ(heading + "YV_MatchTemplates\n\n" + heading + "YV_IsA() returned empty\n\n" +
                "Failed to load " + data.Fr() + "/Junk.so\n",
            std::string(err.m_text));
  EXPECT_EQ(0, gallery.m_plugins[1]->m_gen_thread_safe);
}

TEST(ZrSqliteGalleryPlugins, AnEmptyFolderIsNoFailure) {
  ZR_DataFolder data;
  ZR_SQliteGallery gallery;
  ZR_String err;
  gallery.LoadPlugins(data.Gallery().c_str(), err);
  EXPECT_EQ(0u, gallery.m_plugins.m_count);
  EXPECT_EQ("No FR Plugins present in " + data.Fr(), std::string(err.m_text));
}

// SQLite table names ignore case, so "ALPHA" would share Alpha's table: it is refused before it
// is initialised.
TEST(ZrSqliteGalleryPlugins, RefusesANameAlreadyLoadedIgnoringCase) {
  ZR_DataFolder data;
  data.AddPlugin(ZR_TEST_PLUGIN_ALPHA, "Alpha.so");
  const std::string dup = data.AddPlugin(ZR_TEST_PLUGIN_DUP, "Dup.so");
  ZR_PluginProbe probe(dup);
  ZR_SQliteGallery gallery;
  ZR_String err;
  gallery.LoadPlugins(data.Gallery().c_str(), err);
  EXPECT_EQ("Alpha", Names(gallery));
  EXPECT_EQ(std::string("Failed to find to following functions:\n") +
                "YV_IsA() returned a name already loaded: ALPHA\n\n",
            std::string(err.m_text));
  EXPECT_EQ("IsA,IsThreadSafeGeneration,IsThreadSafeMatching", probe.CallLog());
}

// The gallery's console, not standard output, gets every text, the plug-ins' included.
TEST(ZrSqliteGalleryPlugins, VerboseLoadingPrintsEachStepAndFailureTwice) {
  ZR_DataFolder data;
  data.AddPlugin(ZR_TEST_PLUGIN_ALPHA, "Alpha.so");
  data.AddPlugin(ZR_TEST_PLUGIN_INITFAIL, "InitFail.so");
  std::ostringstream console;
  ZR_SQliteGallery gallery(console);
  gallery.m_verbose = 1;
  ZR_String err;
  testing::internal::CaptureStdout();
  gallery.LoadPlugins(data.Gallery().c_str(), err);
  EXPECT_EQ("", testing::internal::GetCapturedStdout());
  EXPECT_EQ(std::string("Loading 2 FR Plugins\nLoading Alpha\nLoading InitFail\n") +
                "Failed to initialize: init refused\nFailed to initialize: init refused\n" +
                "Load InitFail FAILED\n",
            console.str());
  EXPECT_EQ("Failed to initialize: init refused\n", std::string(err.m_text));
}

// The statuses follow the list order: not asked, failed, made. A plug-in whose generation is not
// thread-safe is never asked and one with a negative size is not asked to generate; a failed
// template keeps the array as the plug-in left it.
TEST(ZrSqliteGalleryPlugins, GenerateTemplatesAsksOnlyThreadSafePlugins) {
  ZR_DataFolder data;
  const std::string beta = data.AddPlugin(ZR_TEST_PLUGIN_BETA, "1.so");
  data.AddPlugin(ZR_TEST_PLUGIN_GAMMA, "2.so");
  data.AddPlugin(ZR_TEST_PLUGIN_ALPHA, "3.so");
  data.AddPlugin(ZR_TEST_PLUGIN_NEGATIVE, "4.so");
  const std::string negative = data.Fr() + "/4.so";
  data.AddPlugin(ZR_TEST_PLUGIN_THROWER, "5.so");
  data.AddPlugin(ZR_TEST_PLUGIN_ZERO, "6.so");
  ZR_PluginProbe beta_probe(beta), negative_probe(negative);
  ZR_SQliteGallery gallery;
  ZR_String err;
  gallery.LoadPlugins(data.Gallery().c_str(), err);
  ASSERT_EQ("Beta,Gamma,Alpha,Negative,Thrower,Zero", Names(gallery));

  ZR_Image image(6, 9);
  ZR_AnnoModel2D model = ZR_TestModel();
  FRpluginTemplateSet set;
  set.m_status.Add(5);  // filling starts from empty lists
  gallery.GenerateTemplates(&image, &model, set);
  gallery.GenerateTemplates(&image, &model, set);
  ASSERT_EQ(6u, set.m_names.m_count);
  ASSERT_EQ(6u, set.m_templates.m_count);
  ASSERT_EQ(6u, set.m_status.m_count);
  const int32_t status[] = {-1, 0, 1, 0, 0, 1};
  const size_t own_size = 20 + (data.Fr() + "/1").size();
  const size_t size[] = {0, own_size, own_size, 0, own_size, 0};
  for (uint32_t k = 0; k < 6; ++k) {
    EXPECT_TRUE(set.m_names[k] == gallery.m_plugins[k]->m_name.m_text) << k;
    EXPECT_EQ(status[k], set.m_status[k]) << k;
    EXPECT_EQ(size[k], set.m_templates[k].m_count) << k;
  }
  EXPECT_EQ(ZR_ExpectedTemplate(6, 9, 2, 5, data.Fr() + "/3"), ZR_BytesOf(set.m_templates[2]));
  EXPECT_EQ(0, beta_probe.SizeCalls());
  EXPECT_EQ(0, beta_probe.GenerateCalls());
  EXPECT_EQ(2, negative_probe.SizeCalls());
  EXPECT_EQ(0, negative_probe.GenerateCalls());  // a negative size is a failure before asking
}

TEST(ZrSqliteGalleryPlugins, GenerateTemplatesFromManyThreadsAtOnce) {
  ZR_DataFolder data;
  const std::string alpha = data.AddPlugin(ZR_TEST_PLUGIN_ALPHA, "Alpha.so");
  data.AddPlugin(ZR_TEST_PLUGIN_BETA, "Beta.so");
  ZR_PluginProbe probe(alpha);
  ZR_SQliteGallery gallery;
  ZR_String err;
  gallery.LoadPlugins(data.Gallery().c_str(), err);
  ASSERT_EQ(2u, gallery.m_plugins.m_count);

  constexpr int kThreads = 8, kCalls = 50;
  std::vector<int> good(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ZR_Image image(10 + t, 20);
      ZR_AnnoModel2D model = ZR_TestModel();
      const std::string expected = ZR_ExpectedTemplate(10 + t, 20, 2, 5, data.Fr() + "/Alpha");
      FRpluginTemplateSet set;
      for (int i = 0; i < kCalls; ++i) {
        gallery.GenerateTemplates(&image, &model, set);
        good[t] += set.m_status[0] == 1 && set.m_status[1] == -1 &&
                   ZR_BytesOf(set.m_templates[0]) == expected;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(kCalls, good[t]) << t;
  EXPECT_EQ(kThreads * kCalls, probe.GenerateCalls());
}

// A template longer than the gallery's blob limit could never be stored: it fails before any
// allocation (no gigabyte of zeros per image) and before the plug-in is asked to fill it.
TEST(ZrSqliteGalleryPlugins, ATemplateAboveTheBlobLimitFailsWithoutAllocating) {
  ZR_DataFolder data;
  data.AddPlugin(ZR_TEST_PLUGIN_ALPHA, "Alpha.so");
  const std::string huge = data.AddPlugin(ZR_TEST_PLUGIN_HUGE, "Huge.so");
  ZR_PluginProbe probe(huge);
  ZR_SQliteGallery gallery;
  ASSERT_TRUE(gallery.OpenDB(data.Gallery().c_str())) << gallery.m_error.m_text;
  ASSERT_EQ("Alpha,Huge", Names(gallery));

  ZR_Image image(6, 9);
  ZR_AnnoModel2D model = ZR_TestModel();
  FRpluginTemplateSet set;
  gallery.GenerateTemplates(&image, &model, set);  // SQLite's default limit of 10^9 bytes
  EXPECT_EQ(1, set.m_status[0]);
  EXPECT_EQ(0, set.m_status[1]);
  EXPECT_EQ(0u, set.m_templates[1].m_count);
  EXPECT_EQ(0, probe.GenerateCalls());

  // The limit is the connection's own: Alpha's template of 20 + init text bytes exceeds 20.
  sqlite3_limit(gallery.m_db, SQLITE_LIMIT_LENGTH, 20);
  gallery.GenerateTemplates(&image, &model, set);
  EXPECT_EQ(0, set.m_status[0]);
  EXPECT_EQ(0u, set.m_templates[0].m_count);
}
