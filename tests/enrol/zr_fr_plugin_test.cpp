// tests/enrol/zr_fr_plugin_test.cpp: loading one plug-in library: each test variant loads or is
// refused with its exact text, and the plug-in's own call log shows what was asked, in order.
#include "enrol/zr_fr_plugin.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>

#include "tests/enrol/gallery_fixture.h"

TEST(ZrFrPlugin, LoadsOrRefusesEachVariantWithItsText) {
  const std::string heading = "Failed to find to following functions:\n";
  const std::string asked = "IsA,IsThreadSafeGeneration,IsThreadSafeMatching";
  const struct {
    const char* built;
    const char* file;
    bool loads;
    std::string err;       // "@" stands for the library path
    std::string call_log;  // "@" stands for the init text
    bool keeps_library;
  } cases[] = {
      {ZR_TEST_PLUGIN_ALPHA, "Alpha.so", true, heading, asked + ",Initialize(@)", true},
      {ZR_TEST_PLUGIN_BETA, "Beta.so", true, heading, asked + ",Initialize(@)", true},
      {ZR_TEST_PLUGIN_BROKEN, "Broken.so", false, heading + "YV_MatchTemplates\n", "", false},
      {ZR_TEST_PLUGIN_EMPTY, "Empty.so", false, heading + "YV_IsA() returned empty\n", asked,
       false},
      {ZR_TEST_PLUGIN_NULLNAME, "NullName.so", false, heading + "YV_IsA() returned empty\n", asked,
       false},
      {ZR_TEST_PLUGIN_INITFAIL, "InitFail.so", false, "Failed to initialize: init refused",
       asked + ",Initialize(@),GetLastError", true},
      {ZR_TEST_PLUGIN_NULLERROR, "NullError.so", false,
       "Failed to initialize: ", asked + ",Initialize(@),GetLastError", true},
  };
  for (const auto& c : cases) {
    ZR_DataFolder data;
    const std::string path = data.AddPlugin(c.built, c.file);
    const std::string init_text = data.Fr() + "/" + ZR_String(c.file).GetFileStem().m_text;
    ZR_PluginProbe probe(path);
    ASSERT_TRUE(probe.Loaded()) << c.file;

    ZR_FR_Plugin plugin;
    ZR_String err;
    EXPECT_EQ(c.loads, plugin.Load(path.c_str(), init_text.c_str(), err)) << c.file;
    if (!c.loads) {
      EXPECT_STREQ(c.err.c_str(), err.m_text) << c.file;
    }
    std::string log = c.call_log;
    if (log.find('@') != std::string::npos) log.replace(log.find('@'), 1, init_text);
    EXPECT_EQ(log, probe.CallLog()) << c.file;
    EXPECT_EQ(c.keeps_library, plugin.m_module != nullptr) << c.file;
  }
}

TEST(ZrFrPlugin, KeepsNameAndFlagsOfALoadedLibrary) {
  ZR_DataFolder data;
  for (const auto& [built, name, generation] :
       {std::tuple{ZR_TEST_PLUGIN_ALPHA, "Alpha", 1}, std::tuple{ZR_TEST_PLUGIN_BETA, "Beta", 0}}) {
    const std::string path = data.AddPlugin(built, std::string(name) + ".so");
    ZR_FR_Plugin plugin;
    ZR_String err;
    ASSERT_TRUE(plugin.Load(path.c_str(), "x", err)) << err.m_text;
    EXPECT_TRUE(plugin.m_name == name);
    EXPECT_EQ(generation, plugin.m_gen_thread_safe) << name;
    EXPECT_EQ(1, plugin.m_match_thread_safe) << name;
    EXPECT_NE(nullptr, plugin.m_generate_template_from_average_gray);
  }
}

TEST(ZrFrPlugin, RefusesLibrariesThatCannotBeLoaded) {
  ZR_DataFolder data;
  const std::string junk = data.Fr() + "/Junk.so";
  {
    FILE* f = std::fopen(junk.c_str(), "w");
    std::fputs("not a library\n", f);
    std::fclose(f);
  }
  for (const std::string& path : {junk, data.Fr() + "/Missing.so"}) {
    ZR_FR_Plugin plugin;
    ZR_String err;
    EXPECT_FALSE(plugin.Load(path.c_str(), "x", err));
    EXPECT_EQ("Failed to load " + path, std::string(err.m_text));
    EXPECT_EQ(nullptr, plugin.m_module);
  }
}

TEST(ZrFrPlugin, LoadingAgainReplacesTheLibrary) {
  ZR_DataFolder data;
  const std::string alpha = data.AddPlugin(ZR_TEST_PLUGIN_ALPHA, "Alpha.so");
  const std::string broken = data.AddPlugin(ZR_TEST_PLUGIN_BROKEN, "Broken.so");
  const std::string beta = data.AddPlugin(ZR_TEST_PLUGIN_BETA, "Beta.so");
  ZR_FR_Plugin plugin;
  ZR_String err;
  ASSERT_TRUE(plugin.Load(alpha.c_str(), "a", err));
  EXPECT_FALSE(plugin.Load(broken.c_str(), "b", err));
  EXPECT_EQ(nullptr, plugin.m_module);
  EXPECT_EQ(nullptr, plugin.m_is_a);
  ASSERT_TRUE(plugin.Load(beta.c_str(), "c", err));
  EXPECT_TRUE(plugin.m_name == "Beta");
}
