#pragma once
// The golden folder of GIF files (golden/cases.txt says what each must give) for the tests
// of both builds: a runner takes gif_run's arguments and returns its exit code and output.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/core/sysutils.h"
#include "platform/file.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"

inline std::string GoldenDir() { return platform::JoinPath(platform::FullPath("."), "golden"); }

inline std::vector<uint8_t> ReadGolden(const std::string& name) {
  const std::string path = platform::JoinPath(GoldenDir(), name);
  if (!platform::IsFile(path)) {
    ADD_FAILURE() << "no golden file " << name;
    return {};
  }
  return testsupport::ReadExistingFile(path);
}

inline std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'n') {
      out += '\n';
      ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}

inline std::string Replace(std::string s, const std::string& from, const std::string& to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) s.replace(at, from.size(), to);
  return s;
}

// The pixels a gif_run run wrote agree with ImageMagick's dump wherever both are defined.
inline void ExpectFramesMatchDump(const std::string& dir, const std::string& dumpName, int width, int height,
                                  int frames) {
  std::vector<uint8_t> dump = ReadGolden(dumpName);
  ASSERT_EQ(dump.size(), size_t(width) * size_t(height) * 4 * size_t(frames)) << dumpName;
  for (int k = 1; k <= frames; ++k) {
    char ppm[32], pgm[32];
    std::snprintf(ppm, sizeof ppm, "frame-%03d.ppm", k);
    std::snprintf(pgm, sizeof pgm, "mask-%03d.pgm", k);
    auto body = [&](const char* name, size_t each) {
      platform::File f;
      std::vector<uint8_t> b;
      if (!f.Open(platform::JoinPath(dir, name), platform::OpenMode::Read)) return b;
      b.resize(size_t(f.Size()));
      b.resize(f.Read(b.data(), b.size()));
      size_t pixels = size_t(width) * size_t(height) * each;
      return b.size() >= pixels ? std::vector<uint8_t>(b.end() - long(pixels), b.end()) : std::vector<uint8_t>();
    };
    std::vector<uint8_t> rgb = body(ppm, 3), mask = body(pgm, 1);
    ASSERT_FALSE(rgb.empty()) << ppm;
    int bad = 0;
    for (size_t i = 0; i < size_t(width) * size_t(height); ++i) {
      const uint8_t* d = &dump[(size_t(k - 1) * size_t(width) * size_t(height) + i) * 4];
      if (d[3] == 255)
        bad += (rgb[3 * i] != d[0] || rgb[3 * i + 1] != d[1] || rgb[3 * i + 2] != d[2] || (!mask.empty() && mask[i]));
      else if (d[3] == 0 && !mask.empty())
        bad += mask[i] != 255;
    }
    EXPECT_EQ(bad, 0) << dumpName << " frame " << k;
  }
}

using TGifRunner = std::function<int(const std::vector<std::string>& args, std::string& out, std::string& err)>;

inline void RunGoldenCases(const TGifRunner& run) {
  std::vector<uint8_t> text = ReadGolden("cases.txt");
  std::string all(text.begin(), text.end());
  std::string golden = platform::JoinPath(GoldenDir(), "");
  int cases = 0;
  for (size_t pos = 0; pos < all.size();) {
    size_t nl = all.find('\n', pos);
    std::string line = all.substr(pos, nl - pos);
    pos = nl == std::string::npos ? all.size() : nl + 1;
    if (line.empty() || line[0] == '#') continue;
    size_t a = line.find(" | "), b = line.find(" | ", a + 3);
    ASSERT_NE(b, std::string::npos) << line;
    testsupport::ScratchDir scratch("gif");
    std::string out = platform::JoinPath(scratch.Path("frames"), "");
    std::string argText = Replace(Replace(line.substr(0, a), "{golden}", golden), "{out}", out);
    std::vector<std::string> args;
    for (size_t i = 0; i < argText.size();) {
      size_t sp = argText.find(' ', i);
      args.push_back(argText.substr(i, sp - i));
      i = sp == std::string::npos ? argText.size() : sp + 1;
    }
    int rc = std::stoi(line.substr(a + 3, b - a - 3));
    std::string expected = Replace(Replace(Unescape(line.substr(b + 3)), "{golden}", golden), "{out}", out);
    SCOPED_TRACE(line.substr(0, a));
    std::string gotOut, gotErr;
    EXPECT_EQ(run(args, gotOut, gotErr), rc);
    EXPECT_EQ(rc == 0 ? gotOut : gotErr, expected);
    if (rc != 0) {
      EXPECT_FALSE(platform::IsDirectory(out)) << "a failed load wrote something";
    }
    ++cases;
    // A frame listing: the pictures against the dump.
    if (rc == 0 && args[0] != "--play" && gotOut.compare(0, 4, "gif ") == 0) {
      int w = 0, h = 0, n = 0;
      std::sscanf(gotOut.c_str(), "gif %dx%d frames %d", &w, &h, &n);
      std::string dump = ExtractFileName(args[0]);
      dump = dump.substr(0, dump.size() - 4) + ".rgba";
      if (platform::IsFile(platform::JoinPath(GoldenDir(), dump))) ExpectFramesMatchDump(out, dump, w, h, n);
    }
  }
  EXPECT_GT(cases, 20);
}
