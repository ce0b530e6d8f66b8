// tests/image/reader_threads_test.cpp: every reader on many threads at once, as the enrolment
// workers run them; the results must equal those of one thread (no shared state between calls).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/image/jpeg/libjpeg_fixture.h"
#include "tests/image/test_support.h"

namespace {

using namespace image_files;

TEST(ReaderThreads, EveryFormatLoadsTheSameOnManyThreadsAtOnce) {
  ZR_TempFolder dir;
  const Picture pic = MakeCornerPicture(16, 12);
  BmpOptions bmp8;
  bmp8.bits = 8;
  jpeg_fixture::EncodeOptions jo;
  Bytes bif = {0};
  for (int i = 0; i < 2; ++i) {
    Bytes j = jpeg_fixture::EncodePicture(40, 30, jo, 3 + i);
    bif.insert(bif.end(), j.begin(), j.end());
  }
  std::vector<std::string> names;
  auto add = [&](const std::string& name, const Bytes& bytes) {
    WriteFile((dir / name), bytes);
    names.push_back((dir / name));
  };
  add("a.bmp", MakeBmp(pic, bmp8));
  add("a.gif", MakeGif(pic));
  add("a.ppm", MakePpm(pic));
  add("a.pgm", MakePgm(pic));
  add("a.tga", MakeTga(pic));
  const std::string hex = MakeHex(pic), plain = MakePlainPgm(pic);
  add("a.hex", Bytes(hex.begin(), hex.end()));
  add("b.pgm", Bytes(plain.begin(), plain.end()));
  add("a.force", MakeForce(pic));
  add("a.bif", bif);
  add("a.png", MakePng(pic));
  add("a.jpg", jpeg_fixture::EncodePicture(40, 30, jo, 9));
  ASSERT_TRUE(WriteTiff((dir / "a.tif"), pic));
  names.push_back((dir / "a.tif"));

  std::vector<Picture> expected;
  for (const std::string& name : names) {
    ZR_Image image;
    ASSERT_TRUE(image.Load(name.c_str())) << name;
    expected.push_back(FromImage(image));
  }
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&, t] {
      for (int round = 0; round < 6; ++round)
        for (size_t k = 0; k < names.size(); ++k) {
          const size_t i = (k + t) % names.size();
          ZR_Image image;
          if (!image.Load(names[i].c_str()) || !SamePixels(expected[i], FromImage(image)))
            ++mismatches;
        }
    });
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(0, mismatches.load());
}

}  // namespace
