// Mutated golden archives, single-file and spanned. Whatever the damage, extraction gives
// the stored file's own bytes or a clear error; it writes nothing outside the extract
// folder, leaves no temporary file behind and keeps the installed file when it fails.
// Every case has its own seed: a failure names it, and
//   QUILTOR_FUZZ_SEED=<seed> QUILTOR_FUZZ_CASES=1
// replays exactly that case (QUILTOR_FUZZ_CASES alone runs more or fewer cases).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "platform/byte_order.h"
#include "setup_engine/archive_format.h"
#include "setup_engine/kstn_compress.h"
#include "tests/setup_engine/archive_test_util.h"
#include "tests/support/fuzz_seeds.h"

namespace {

using namespace archive_test;
using namespace setup;  // the field offsets of archive_format.h

// The positions of the headers in disk file (or archive) bytes b, from its own table.
std::vector<size_t> HeaderPositions(const Bytes& b) {
  std::vector<size_t> at;
  size_t pos = kArchiveStartSize;
  for (uint32_t i = 0; i < platform::GetU32(&b[kStartCount]); ++i) {
    at.push_back(pos);
    pos = b[kStartSpanned] ? pos + kHeaderSize : platform::GetU32(&b[pos + kHeaderNextHeader]);
  }
  return at;
}

void Mutate(std::vector<Bytes>& disks, const std::vector<size_t>& headers, std::mt19937& rng) {
  auto pick = [&](uint32_t n) { return uint32_t(rng() % n); };
  // Most damage goes to the file holding the table.
  Bytes& b = disks[pick(4) == 0 ? pick(uint32_t(disks.size())) : 0];
  if (b.empty()) return;
  size_t header = headers[pick(uint32_t(headers.size()))];
  switch (pick(7)) {
    case 0:  // a flipped bit anywhere
      b[pick(uint32_t(b.size()))] ^= uint8_t(1u << pick(8));
      break;
    case 1: {  // an odd value in a 32-bit field of the table
      static const size_t kFields[] = {kHeaderOrdinal,    kHeaderLastByte,
                                       kHeaderNextHeader, kHeaderUncompressedSize,
                                       kHeaderFirstByte,  kHeaderCompressedSize};
      const int64_t size = int64_t(b.size());
      const int64_t values[] = {0, -1, 1, INT32_MAX, INT32_MIN, size - 1, size, size + 1,
                                int64_t(int32_t(rng()))};
      size_t at = pick(5) == 0 ? kStartCount : header + kFields[pick(6)];
      if (at + 4 <= b.size()) platform::PutU32(&b[at], uint32_t(values[pick(9)]));
      break;
    }
    case 2: {  // an odd byte: the spanned flag, a disk number or a length byte
      static const size_t kBytes[] = {kHeaderEndDisk, kHeaderName, kHeaderStartDisk,
                                      kHeaderVersion};
      size_t at = pick(5) == 0 ? kStartSpanned : header + kBytes[pick(4)];
      if (at < b.size()) b[at] = uint8_t(pick(3) == 0 ? rng() : pick(4));
      break;
    }
    case 3:  // cut short
      b.resize(pick(uint32_t(b.size())));
      break;
    case 4: {  // a run of noise
      size_t at = pick(uint32_t(b.size())), n = 1 + pick(64);
      for (size_t i = at; i < b.size() && i < at + n; ++i) b[i] = uint8_t(rng());
      break;
    }
    case 5: {  // a date no file can carry, or one at an edge of the range of file dates
      constexpr double kInf = std::numeric_limits<double>::infinity();
      const double dates[] = {std::numeric_limits<double>::quiet_NaN(),
                              -std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::signaling_NaN(),
                              kInf, -kInf, 1e19, -1e19,
                              std::numeric_limits<double>::max(),
                              std::numeric_limits<double>::lowest(),
                              std::numeric_limits<double>::denorm_min(),
                              2958466.0,          // 1 January 10000
                              2958465.99999999,   // rounds to 1 January 10000
                              2958465.999988,     // 31 December 9999, 23:59:59
                              -109206.0,          // 31 December 1600
                              -109205.0};         // 1 January 1601
      uint64_t bits;
      if (pick(4) == 0) {
        bits = (uint64_t(rng()) << 32) | rng();
      } else {
        double d = dates[pick(sizeof dates / sizeof dates[0])];
        std::memcpy(&bits, &d, sizeof bits);
      }
      if (header + kHeaderDate + 8 <= b.size()) {
        platform::PutU32(&b[header + kHeaderDate], uint32_t(bits));
        platform::PutU32(&b[header + kHeaderDate + 4], uint32_t(bits >> 32));
      }
      break;
    }
    default: {  // a stored name that tries to climb out
      static const char* const kNames[] = {"..\\readme.txt", "C:..\\data.bin", "..",
                                           "/empty.dat", "a/../empty.dat"};
      std::string n = kNames[pick(5)];
      if (header + kHeaderName + 1 + n.size() <= b.size()) {
        b[header + kHeaderName] = uint8_t(n.size());
        std::copy(n.begin(), n.end(), b.begin() + long(header + kHeaderName + 1));
      }
    }
  }
}

TEST(ArchiveFuzz, MutatedArchivesFailCleanly) {
  const auto [first, count] = testsupport::FuzzSeedsFromEnvironment("archive fuzz");
  RecordProperty("first_seed", std::to_string(first));

  const std::vector<Bytes> single{ReadFile(Join("golden", "files.1"))};
  std::vector<Bytes> spanned;
  for (const char* n : {"files.1", "files.2", "files.3"})
    spanned.push_back(ReadFile(Join(Join("golden", "spanned"), n)));
  ASSERT_GT(single[0].size(), size_t(kArchiveStartSize));
  ASSERT_GT(spanned[0].size(), size_t(kArchiveStartSize));
  std::vector<std::string> stored;
  for (const Input& i : kGoldenInputs) stored.push_back(i.name);

  for (uint32_t seed = first; seed != first + count; ++seed) {
    SCOPED_TRACE("replay with QUILTOR_FUZZ_SEED=" + std::to_string(seed) +
                 " QUILTOR_FUZZ_CASES=1");
    // Unbuffered, so a case that brings the program down still names its seed.
    std::fprintf(stderr, "case seed %u\n", seed);
    std::mt19937 rng(seed);
    const std::vector<Bytes>& base = rng() % 2 ? spanned : single;
    std::vector<Bytes> disks = base;
    const std::vector<size_t> headers = HeaderPositions(base[0]);
    for (uint32_t n = 1 + rng() % 3; n > 0; --n) Mutate(disks, headers, rng);

    ScratchDir scratch("qsa");
    std::string work = scratch.Dir(), archive = Join(work, "archive"), out = Join(work, "out");
    ASSERT_TRUE(platform::MakeDirectory(archive));
    ASSERT_TRUE(platform::MakeDirectory(out));
    for (size_t d = 0; d < disks.size(); ++d)
      WriteFile(Join(archive, "files." + std::to_string(d + 1)), disks[d]);
    const std::vector<std::string> archiveNames = Names(archive);
    for (const std::string& name : stored) WriteFile(Join(out, name), {'o', 'l', 'd'});

    for (const std::string& name : stored) {
      SCOPED_TRACE(name);
      TKstnCompress a;
      a.SetCompressedFile(Join(archive, "files.1"));
      a.ExtractDirectory = out;
      std::vector<std::string> files{name};
      a.SetFilesToProcess(files);
      bool extracted = true;
      try {
        a.ExtractFile();
      } catch (const Exception&) {
        extracted = false;
      }
      // The extracted file may carry the case of a damaged stored name: on success one of
      // the files of that name holds the stored bytes (zlib's check sum guards them), on
      // failure the installed file is alone and unchanged.
      std::vector<Bytes> contents;
      for (const std::string& p : Names(out)) {
        bool known = false;
        for (const std::string& s : stored) known = known || SameText(p, s);
        EXPECT_TRUE(known) << p;
        if (SameText(p, name)) {
          contents.push_back(ReadFile(Join(out, p)));
          platform::RemoveFile(Join(out, p));
        }
      }
      if (extracted)
        EXPECT_NE(std::find(contents.begin(), contents.end(), GoldenInput(name)), contents.end());
      else
        EXPECT_EQ(contents, std::vector<Bytes>{Bytes({'o', 'l', 'd'})});
      WriteFile(Join(out, name), {'o', 'l', 'd'});
    }
    // Every name the damaged table holds, as its own key and its own file name: whatever
    // it says, the file lands in the extract folder under the name's last part or not at
    // all.
    std::vector<std::string> held;
    try {
      TKstnCompress a;
      a.SetCompressedFile(Join(archive, "files.1"));
      for (int i = 0; i < a.FileCount(); ++i) {
        TlzhFileStats s;
        a.GetFileStats(i, s);
        held.push_back(s.name);
      }
    } catch (const Exception&) {
    }
    std::vector<std::string> allowed = stored;
    for (const std::string& name : held) {
      SCOPED_TRACE(name);
      allowed.push_back(ExtractFileName(name));
      TKstnCompress a;
      a.SetCompressedFile(Join(archive, "files.1"));
      a.ExtractDirectory = out;
      std::vector<std::string> files{name};
      a.SetFilesToProcess(files);
      try {
        a.ExtractFile();
      } catch (const Exception&) {
      }
      for (const std::string& p : Names(out)) {
        bool known = false;
        for (const std::string& s : allowed) known = known || SameText(p, s);
        EXPECT_TRUE(known) << p;
        EXPECT_FALSE(platform::IsDirectory(Join(out, p))) << p;
      }
    }
    // Whatever the table holds, it is listed or refused, dates and all.
    Cli listed = Cmd({"list", Join(archive, "files.1")});
    EXPECT_TRUE(listed.rc == 0 || !listed.err.empty()) << listed.rc;
    EXPECT_EQ(Names(work), (std::vector<std::string>{"archive", "out"}));
    EXPECT_EQ(Names(archive), archiveNames);
    if (HasFailure()) break;
  }
}

}  // namespace
