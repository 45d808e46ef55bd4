// GIF images: the golden folder (ImageMagick's files and dumps, and damaged files) through
// gif_run, hand-made streams for what no encoder writes, a truncation sweep, a seeded fuzz
// target and the animation's timeline. In the Windows build the same cases run with the
// pixel surface here and with the GDI surface in the Win32 test.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>

#include "framework/core/clock.h"
#include "html_viewer/gif_cli.h"
#include "html_viewer/gif_image.h"
#include "platform/file.h"
#include "tests/html_viewer/gif_builder.h"
#include "tests/html_viewer/gif_golden.h"
#include "tests/support/scratch_dir.h"

namespace {

using giftest::Bytes;
using giftest::GifBuilder;
using giftest::Image;

std::unique_ptr<TGIFImage> Load(const Bytes& b) {
  bool still;
  return TGIFImage::MakeGIFImage(b.data(), b.size(), still);
}

std::string LoadError(const Bytes& b) {
  try {
    Load(b);
  } catch (const EGIFError& e) {
    return e.what();
  }
  return "";
}

// The canvas after the frame shown: colours, and the mask (1 transparent) if any.
struct Picture {
  std::vector<uint32_t> rgb;
  std::vector<uint8_t> mask;
};
Picture Read(TGIFImage& image) {
  Picture p;
  image.Surface()->ReadBack(p.rgb, p.mask);
  return p;
}

const std::vector<uint32_t> kColours = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};

// An image of that place and size, without data (for descriptors).
Image Shape(int x, int y, int w, int h) {
  Image i;
  i.Left = x, i.Top = y, i.Width = w, i.Height = h, i.CodeSize = 2;
  return i;
}

Image Solid(int x, int y, int w, int h, uint8_t index) {
  Image i;
  i.Left = x, i.Top = y, i.Width = w, i.Height = h, i.CodeSize = 2;
  i.Indices.assign(size_t(w) * size_t(h), index);
  return i;
}

TEST(GifGolden, EveryCaseGivesItsResultAndFramesMatchTheDumps) {
  RunGoldenCases([](const std::vector<std::string>& args, std::string& out, std::string& err) {
    std::ostringstream o, e;
    int rc = RunGifCommand(args, o, e);
    out = o.str(), err = e.str();
    return rc;
  });
}

TEST(GifStreams, FieldsAndPicturesOfHandMadeStreams) {
  // Disposal 4..7 counts as 2; delays in milliseconds; the transparent colour remembered.
  for (int field = 0; field < 8; ++field) {
    Bytes b = GifBuilder().Header(4, 4, 2, kColours).Control(field, 7, 2).Add(Solid(0, 0, 4, 4, 1)).Trailer().Data();
    auto image = Load(b);
    const TGIFFrame& f = image->Frame(1);
    EXPECT_EQ(f.Disposal, field == 0 || field == 1 || field == 3 ? field : 2) << field;
    EXPECT_EQ(f.Delay, 70);
    EXPECT_TRUE(f.Transparent);
    EXPECT_EQ(f.TransparentGreen, 0xFF);
  }
  // A frame beyond the screen enlarges it; what no frame covers is black.
  auto wide = Load(GifBuilder().Header(4, 4, 2, kColours).Add(Solid(2, 3, 4, 2, 3)).Trailer().Data());
  EXPECT_EQ(wide->Width(), 6);
  EXPECT_EQ(wide->Height(), 5);
  Picture p = Read(*wide);
  EXPECT_EQ(p.rgb[0], 0u);
  EXPECT_EQ(p.rgb[size_t(4 * 6 + 5)], 0x0000FFu);
  // An index beyond the frame's table is black; a local table replaces the global one.
  Image local = Solid(0, 0, 2, 1, 0);
  local.Indices = {1, 3};
  local.LocalBits = 1;
  local.LocalColours = {0x111111, 0x222222};
  p = Read(*Load(GifBuilder().Header(2, 1, 2, kColours).Add(local).Trailer().Data()));
  EXPECT_EQ(p.rgb, (std::vector<uint32_t>{0x222222, 0}));
  // Interlaced rows land where the non-interlaced ones do, for every height; passes
  // that start below the last row are skipped.
  for (int h = 1; h <= 10; ++h) {
    Image flat = Solid(0, 0, 3, h, 0);
    for (size_t i = 0; i < flat.Indices.size(); ++i) flat.Indices[i] = uint8_t(i % 4);
    Image laced = flat;
    laced.Interlaced = true;
    auto a = Load(GifBuilder().Header(3, h, 2, kColours).Add(flat).Trailer().Data());
    auto c = Load(GifBuilder().Header(3, h, 2, kColours).Add(laced).Trailer().Data());
    EXPECT_EQ(a->Frame(1).Pixels, c->Frame(1).Pixels) << "height " << h;
  }
  // Zero-area frames count and draw nothing.
  auto empty = Load(GifBuilder().Header(3, 3, 2, kColours).Add(Solid(0, 0, 3, 3, 2)).Add(Solid(1, 1, 0, 5, 1))
                        .Add(Solid(0, 0, 0, 0, 1)).Trailer().Data());
  EXPECT_EQ(empty->FrameCount(), 3);
  empty->SetCurrentFrame(2);
  EXPECT_EQ(Read(*empty).rgb, std::vector<uint32_t>(9, 0x00FF00));
  // A 257th image is dropped.
  GifBuilder many;
  many.Header(1, 1, 2, kColours);
  for (int i = 0; i < 257; ++i) many.Add(Solid(0, 0, 1, 1, uint8_t(i % 4)));
  EXPECT_EQ(Load(many.Trailer().Data())->FrameCount(), 256);
  // Comments accumulate over the file; every frame gets the text read so far.
  auto commented = Load(GifBuilder().Header(1, 1, 2, kColours).Comment("ab").Add(Solid(0, 0, 1, 1, 1))
                            .Comment("cd").Add(Solid(0, 0, 1, 1, 1)).Trailer().Data());
  EXPECT_EQ(commented->Frame(1).Comment, "ab");
  EXPECT_EQ(commented->Frame(2).Comment, "abcd");
}

TEST(GifStreams, BlocksHonourTheirSizesAndDamageEndsTheParse) {
  struct Case {
    const char* name;
    Bytes bytes;
    int frames, loop, delay;
  };
  auto one = [](GifBuilder b) { return b.Add(Solid(0, 0, 2, 2, 1)).Trailer().Data(); };
  const Case cases[] = {
      {"no loop block", one(GifBuilder().Header(2, 2, 2, kColours)), 1, 1, 0},
      {"loop count 0", one(GifBuilder().Header(2, 2, 2, kColours).Netscape(0)), 1, 0, 0},
      {"stored count", one(GifBuilder().Header(2, 2, 2, kColours).Netscape(5)), 1, 5, 0},
      {"longer loop block", one(GifBuilder().Header(2, 2, 2, kColours).Netscape(7, 5)), 1, 7, 0},
      {"short loop block sets nothing", one(GifBuilder().Header(2, 2, 2, kColours).Netscape(7, 2)), 1, 1, 0},
      {"control block of 6 bytes", one(GifBuilder().Header(2, 2, 2, kColours).Control(1, 12, -1, 6)), 1, 1, 120},
      // Two bytes declared: the packed byte and the delay's low byte.
      {"control block of 2 bytes", one(GifBuilder().Header(2, 2, 2, kColours).Control(1, 12, -1, 2)), 1, 1, 120},
      {"control block of 1 byte", one(GifBuilder().Header(2, 2, 2, kColours).Control(1, 12, -1, 1)), 1, 1, 0},
      {"unknown extension ends the parse",
       GifBuilder().Header(2, 2, 2, kColours).Add(Solid(0, 0, 2, 2, 1)).Raw("!\x77\x01x\x00")
           .Add(Solid(0, 0, 2, 2, 1)).Trailer().Data(), 1, 1, 0},
      {"unknown byte ends the parse",
       GifBuilder().Header(2, 2, 2, kColours).Add(Solid(0, 0, 2, 2, 1)).Raw("?").Add(Solid(0, 0, 2, 2, 1)).Data(),
       1, 1, 0},
      {"code size 1 fails its frame",
       [] {
         Image bad = Solid(0, 0, 2, 2, 1);
         bad.CodeSize = 1;
         return GifBuilder().Header(2, 2, 2, kColours).Add(Solid(0, 0, 2, 2, 1)).Add(bad).Trailer().Data();
       }(), 1, 1, 0},
      {"a descriptor cut short is no frame",
       GifBuilder().Header(2, 2, 2, kColours).Add(Solid(0, 0, 2, 2, 1)).Raw(",\x01").Data(), 1, 1, 0},
      {"a frame whose data is missing is kept",
       GifBuilder().Header(2, 2, 2, kColours).Add(Solid(0, 0, 2, 2, 1)).Descriptor(Shape(0, 0, 2, 2)).Data(), 2,
       1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto image = Load(c.bytes);
    EXPECT_EQ(image->FrameCount(), c.frames);
    EXPECT_EQ(image->LoopCount(), c.loop);
    EXPECT_EQ(image->Frame(1).Delay, c.delay);
  }
  // Failures, with their reasons.
  EXPECT_EQ(LoadError(Bytes{'G', 'I'}), "not a GIF file");
  EXPECT_EQ(LoadError(GifBuilder().Header(2, 2, 0).Trailer().Data()), "no frame");
  EXPECT_EQ(LoadError(GifBuilder().Header(4096, 4096, 0).Add(Solid(0, 0, 1, 1, 0)).Trailer().Data()), "");
  EXPECT_EQ(LoadError(GifBuilder().Header(4096, 4097, 0).Add(Solid(0, 0, 1, 1, 0)).Trailer().Data()),
            "screen too large");
  EXPECT_EQ(LoadError(GifBuilder().Header(1, 1, 0).Add(Solid(4096, 4096, 1, 1, 0)).Trailer().Data()),
            "screen too large");
  EXPECT_EQ(LoadError(GifBuilder().Header(1, 1, 0).Descriptor(Shape(0, 0, 65535, 65535)).Data()),
            "frame too large");
  GifBuilder many;
  many.Header(1, 1, 0);
  for (int i = 0; i < 5; ++i) many.Descriptor(Shape(0, 0, 4096, 4096)).Raw(std::string("\x02\x00", 2));
  EXPECT_EQ(LoadError(many.Data()), "frames too large in all");
}

TEST(GifStreams, BadCodesEndTheFramesData) {
  // Code size 2: clear 4, end 5, first free 6, three-bit codes.
  struct Case {
    const char* name;
    std::vector<std::pair<int, int>> codes;
    Bytes pixels;
  };
  const Case cases[] = {
      // The third literal fills entry 7: the codes after it take four bits.
      {"literals", {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {1, 4}, {5, 4}}, {1, 2, 3, 1}},
      {"leading clears are skipped", {{4, 3}, {4, 3}, {2, 3}, {2, 3}, {5, 3}}, {2, 2, 0, 0}},
      {"a string code and the code being defined", {{4, 3}, {1, 3}, {6, 3}, {5, 3}}, {1, 1, 1, 0}},
      {"a code above the next free entry ends the data", {{4, 3}, {1, 3}, {7, 3}, {1, 3}}, {1, 0, 0, 0}},
      {"a first code that is no literal ends the data", {{4, 3}, {6, 3}, {1, 3}, {1, 3}}, {0, 0, 0, 0}},
      {"the end code ends the data", {{4, 3}, {3, 3}, {5, 3}, {1, 3}}, {3, 0, 0, 0}},
      {"data that just ends", {{4, 3}, {2, 3}}, {2, 0, 0, 0}},
      {"codes after the last row are dropped", {{4, 3}, {1, 3}, {1, 3}, {1, 3}, {1, 4}, {2, 4}, {2, 4}}, {1, 1, 1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Image shape = Solid(0, 0, 4, 1, 0);
    auto image = Load(GifBuilder().Header(4, 1, 2, kColours).AddCodes(shape, c.codes).Add(Solid(0, 0, 4, 1, 3))
                          .Trailer().Data());
    EXPECT_EQ(Bytes(image->Frame(1).Pixels.begin(), image->Frame(1).Pixels.begin() + 4), c.pixels);
    EXPECT_EQ(image->FrameCount(), 2);  // the parse goes on after the frame
  }
}

TEST(GifStreams, DisposalRestoresTheCanvas) {
  // Frame 1 fills the screen, frame 2 (transparent index 0) draws over part of it and is
  // disposed by its method before frame 3 draws nothing (all transparent).
  for (int disposal : {1, 2, 3}) {
    SCOPED_TRACE(disposal);
    Image top = Solid(1, 0, 2, 1, 0);
    top.Indices = {1, 0};  // red, then a transparent pixel
    Bytes b = GifBuilder()
                  .Header(3, 1, 2, kColours)
                  .Control(1, 0, 0)
                  .Add(Solid(0, 0, 3, 1, 3))
                  .Control(disposal, 0, 0)
                  .Add(top)
                  .Control(1, 0, 0)
                  .Add(Solid(0, 0, 3, 1, 0))
                  .Trailer()
                  .Data();
    auto image = Load(b);
    image->SetCurrentFrame(2);
    Picture p = Read(*image);
    EXPECT_EQ(p.rgb, (std::vector<uint32_t>{0x0000FF, 0xFF0000, 0x0000FF}));
    EXPECT_EQ(p.mask, (Bytes{0, 0, 0}));
    image->SetCurrentFrame(3);
    p = Read(*image);
    if (disposal == 1) {
      EXPECT_EQ(p.rgb, (std::vector<uint32_t>{0x0000FF, 0xFF0000, 0x0000FF}));
    }
    if (disposal == 2) {
      EXPECT_EQ(p.rgb, (std::vector<uint32_t>{0x0000FF, 0, 0}));
      EXPECT_EQ(p.mask, (Bytes{0, 1, 1}));
    }
    if (disposal == 3) {
      EXPECT_EQ(p.rgb, std::vector<uint32_t>(3, 0x0000FF));
    }
  }
}

TEST(GifStreams, TruncationAtEveryLengthKeepsWhatWasRead) {
  for (const char* name : {"colours256.gif", "dispose-prev.gif", "interlaced.gif", "local-tables.gif"}) {
    SCOPED_TRACE(name);
    Bytes full = ReadGolden(name);
    auto whole = Load(full);
    int lastFrames = 0;
    for (size_t n = 0; n <= full.size(); ++n) {
      Bytes part(full.begin(), full.begin() + long(n));
      std::unique_ptr<TGIFImage> image;
      try {
        image = Load(part);
      } catch (const EGIFError&) {
        EXPECT_EQ(lastFrames, 0) << "length " << n;
        continue;
      }
      ASSERT_GE(image->FrameCount(), lastFrames) << "length " << n;
      lastFrames = image->FrameCount();
      // Every frame holds a prefix of what the whole file decodes to, then index 0.
      for (int k = 1; k <= image->FrameCount(); ++k) {
        const Bytes& got = image->Frame(k).Pixels;
        const Bytes& want = whole->Frame(k).Pixels;
        ASSERT_EQ(got.size(), want.size());
        if (image->Frame(k).Interlaced) continue;
        size_t i = 0;
        while (i < got.size() && got[i] == want[i]) ++i;
        while (i < got.size() && got[i] == 0) ++i;
        EXPECT_EQ(i, got.size()) << "length " << n << " frame " << k;
      }
    }
    EXPECT_EQ(lastFrames, whole->FrameCount());
  }
}

uint32_t EnvNumber(const char* name, uint32_t fallback) {
  std::string v = platform::GetEnvironment(name);
  return v.empty() ? fallback : uint32_t(std::strtoul(v.c_str(), nullptr, 10));
}

TEST(GifFuzz, MutatedFilesLoadOrFailCleanly) {
  const uint32_t first = EnvNumber("QUILTOR_FUZZ_SEED", 1);
  const uint32_t count = EnvNumber("QUILTOR_FUZZ_CASES", 400);
  std::printf("gif fuzz: seeds %u to %u\n", first, first + count - 1);
  std::vector<Bytes> seeds;
  for (const char* name : {"anim-loop0.gif", "colours256.gif", "dispose-bg.gif", "dispose-prev.gif",
                           "interlaced.gif", "local-tables.gif", "trans.gif"})
    seeds.push_back(ReadGolden(name));
  seeds.push_back(GifBuilder().Header(3, 2, 2, kColours).Netscape(0).Control(2, 1, 1).Add(Solid(0, 0, 3, 2, 1))
                      .Control(3, 2, 0).Add(Solid(1, 1, 2, 1, 2)).Trailer().Data());
  uint32_t now = 0;
  TTickSource old = SetTickSource([&now] { return now; });
  for (uint32_t seed = first; seed != first + count; ++seed) {
    SCOPED_TRACE("replay with QUILTOR_FUZZ_SEED=" + std::to_string(seed) + " QUILTOR_FUZZ_CASES=1");
    std::fprintf(stderr, "case seed %u\n", seed);
    std::mt19937 rng(seed);
    auto pick = [&](size_t n) { return size_t(rng() % n); };
    Bytes b = seeds[pick(seeds.size())];
    for (int m = 0, n = 1 + int(pick(4)); m < n && !b.empty(); ++m) {
      switch (pick(5)) {
        case 0: b[pick(b.size())] ^= uint8_t(1u << pick(8)); break;
        case 1: b[pick(b.size())] = uint8_t(rng()); break;
        case 2: b.resize(pick(b.size())); break;
        case 3: {  // an odd 16-bit field: a size, a position or a delay
          size_t at = pick(b.size());
          static const uint16_t values[] = {0, 1, 255, 256, 4095, 4096, 65535};
          uint16_t v = values[pick(7)];
          b[at] = uint8_t(v);
          if (at + 1 < b.size()) b[at + 1] = uint8_t(v >> 8);
          break;
        }
        default: {  // a run of noise
          size_t at = pick(b.size());
          for (size_t i = at; i < b.size() && i < at + 1 + pick(32); ++i) b[i] = uint8_t(rng());
        }
      }
    }
    std::unique_ptr<TGIFImage> image;
    try {
      image = Load(b);
    } catch (const EGIFError& e) {
      EXPECT_NE(std::string(e.what()), "");
      continue;
    }
    ASSERT_GE(image->FrameCount(), 1);
    ASSERT_LE(uint64_t(image->Width()) * uint64_t(image->Height()), kGifMaxPixels);
    for (int k = 1; k <= image->FrameCount(); ++k) {
      const TGIFFrame& f = image->Frame(k);
      ASSERT_EQ(f.Pixels.size(), size_t(f.PixelStride()) * size_t(f.Height));
      ASSERT_LE(f.Left + f.Width, f.Width && f.Height ? image->Width() : 65535);
    }
    image->SetAnimating(true);
    for (int step = 0; step < 20; ++step) {
      now += 37;
      image->TimerStep(nullptr);
    }
    for (int k = image->FrameCount(); k >= 0; --k) image->SetCurrentFrame(k);
    auto copy = image->Duplicate();
    EXPECT_EQ(Read(*copy).rgb, Read(*image).rgb);
  }
  SetTickSource(std::move(old));
}

TEST(GifAnimation, DuplicatesAnimateOnTheirOwnAndStopRestoresFrameOne) {
  uint32_t now = 1000;
  TTickSource old = SetTickSource([&now] { return now; });
  Bytes b = GifBuilder()
                .Header(1, 1, 2, kColours)
                .Netscape(0)
                .Control(1, 10)
                .Add(Solid(0, 0, 1, 1, 1))
                .Control(1, 10)
                .Add(Solid(0, 0, 1, 1, 2))
                .Control(1, 0)
                .Add(Solid(0, 0, 1, 1, 3))
                .Trailer()
                .Data();
  auto image = Load(b);
  EXPECT_TRUE(image->Visible());  // made to be shown
  image->SetAnimating(true);
  std::vector<TRect> invalidated;
  auto step = [&](TGIFImage& g, uint32_t t) {
    now = t;
    g.TimerStep([&](const TRect& r) { invalidated.push_back(r); });
  };
  step(*image, 1100);  // the first due step only ends the first wait
  EXPECT_EQ(image->ShownFrame(), 1);
  step(*image, 1200);
  EXPECT_EQ(image->ShownFrame(), 2);
  auto copy = image->Duplicate();
  EXPECT_EQ(Read(*copy).rgb, Read(*image).rgb);  // shows its source's picture at once
  step(*image, 1300);
  EXPECT_EQ(image->ShownFrame(), 3);
  EXPECT_EQ(copy->ShownFrame(), 2);
  step(*image, 1301);  // frame 3's delay of 0 is 1 ms
  EXPECT_EQ(image->ShownFrame(), 1);
  EXPECT_EQ(invalidated.size(), 3u);
  image->SetCurrentFrame(3);
  image->SetAnimating(false);
  EXPECT_EQ(image->ShownFrame(), 1);
  EXPECT_EQ(Read(*image).rgb, std::vector<uint32_t>{0xFF0000});
  SetTickSource(std::move(old));
}

TEST(GifAnimation, SpeedsBelowOneCountAsOne) {
  uint32_t now = 0;
  TTickSource old = SetTickSource([&now] { return now; });
  Bytes b = GifBuilder()
                .Header(1, 1, 2, kColours)
                .Netscape(0)
                .Control(1, 10)
                .Add(Solid(0, 0, 1, 1, 1))
                .Control(1, 10)
                .Add(Solid(0, 0, 1, 1, 2))
                .Trailer()
                .Data();
  for (int speed : {0, -50}) {
    SCOPED_TRACE(speed);
    auto image = Load(b);
    image->SetSpeed(speed);
    EXPECT_EQ(image->Speed(), 1);
    now = 0;
    image->SetAnimating(true);
    // At 1 percent a delay of 100 ms lasts 10 s; the first due step only ends the first wait.
    for (auto [t, shown] : {std::pair{9999u, 1}, {10000u, 1}, {19999u, 1}, {20000u, 2}}) {
      now = t;
      image->TimerStep(nullptr);
      EXPECT_EQ(image->ShownFrame(), shown) << "at " << t;
    }
  }
  SetTickSource(std::move(old));
}

}  // namespace
