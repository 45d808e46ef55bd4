// CreatePatch as a whole: output names, file mode, executable patches, the refusals and
// errors with their exact messages, cancel, and the archiver stage against a recording
// front end.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "golden_patch.h"
#include "patch_engine/cancel.h"
#include "patch_engine/create_patch.h"
#include "patch_engine/directory_scan.h"
#include "patch_engine/engine.h"
#include "patch_engine/engine_messages.h"
#include "patch_engine/engine_state.h"
#include "patch_engine/file_names.h"
#include "platform/process.h"
#include "run_fixture.h"
#include "tests/support/test_process.h"

#ifndef _WIN32
#include "tests/support/fifo_release.h"
#endif

using namespace engine;
using testsupport::Noise;

namespace {

const std::string kAlphabet = "abcdefghijklmnopqrstuvwxyz0123456789 \n";

std::string Version(int variant) {
  std::string s = Noise(3000, 40, kAlphabet);
  for (int v = 1; v <= variant; ++v) s.replace(size_t(v) * 400, 5, "#" + std::to_string(v) + "#");
  return s;
}

std::string Text(const runfix::Bytes& b) { return std::string(b.begin(), b.end()); }

class EngineRun : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineOptions();
    ClampEngineOptions();
    scratch_.WriteFile("v0.bin", Version(0));
    scratch_.WriteFile("v1.bin", Version(1));
    scratch_.WriteFile("v2.bin", Version(2));
  }
  void TearDown() override {
    Identification() = PatchIdentification{};
    SetProgramDirectory("");
    ResetEngineOptions();
  }
  std::string P(const std::string& relative) const { return scratch_.Path(relative); }
  void FileVersions(const std::string& output) {
    runfix::SetFileNames({P("v0.bin"), P("v1.bin"), P("v2.bin")}, output);
  }

  runfix::Scratch scratch_;
  runfix::RecordingFrontEnd frontEnd_;
};

TEST(RunNames, OutputAndBaseNames) {
  struct Case {
    const char* name;
    uint32_t kind;
    const char* output;
    const char* base;
  } cases[] = {
      {"x.UTP", 0, "x.UTP", "x"},         {"x", 0, "x.utp", "x"},
      {"abc", 0, "abc.utp", "abc"},       {".utp", 0, ".utp", ""},
      {"patch.exe", 3, "patch.exe", "patch"}, {"p.utp", 1, "p.utp.exe", "p.utp"},
      {"p.exe", 0, "p.exe.utp", "p.exe"},
  };
  for (const Case& c : cases) {
    OutputNames n = MakeOutputNames(c.name, c.kind);
    EXPECT_EQ(n.output, c.output) << c.name;
    EXPECT_EQ(n.base, c.base) << c.name;
  }
}

TEST(RunNames, ShortNamesAndProgramDirectory) {
  const std::pair<const char*, bool> names[] = {
      {"patch.utp", true},          {"C:\\abcdefgh\\abcdefgh.abc", true},
      {"abcdefghi.utp", false},     {"C:\\abcdefghi\\p.utp", false},
      {"C:abcdefgh.utp", true},     {"1:abcdefgh.utp", false},
      {"dir/abcdefgh.utp", false},  {"", true},
  };
  for (const auto& [name, isShort] : names) EXPECT_EQ(IsShortName(name), isShort) << name;

  const std::pair<const char*, const char*> programs[] = {
      {"C:\\prog\\Quiltor32.exe", "C:\\prog\\"}, {"/usr/bin/engine_run", "/usr/bin/"},
      {"D:x.exe", "D:"},                         {"plain.exe", ""},
  };
  for (const auto& [path, dir] : programs) {
    SetProgramDirectory(path);
    EXPECT_EQ(ProgramDirectory(), dir) << path;
  }
  SetProgramDirectory("");
}

// Every path stays one argument of the archiver, whatever it holds.
TEST(RunNames, ArchiverArgumentsStayWhole) {
  const std::string program = "C:\\Pack Ers\\pk\"zip.exe", base = "out \"x\" -TT\\";
  const std::string output = base + ".utp";
  const char* const archives[] = {"", "", "", nullptr, ".zip", ".arj", ".j"};
  for (uint32_t type = 0; type < 7; ++type) {
    const std::vector<std::string> args =
        platform::SplitCommandLine(ArchiverCommandLine(type, program, base, output));
    ASSERT_FALSE(args.empty()) << type;
    EXPECT_EQ(args.front(), program) << type;
    EXPECT_EQ(std::count(args.begin(), args.end(), output), 1) << type;
    if (archives[type]) {
      EXPECT_EQ(std::count(args.begin(), args.end(), base + archives[type]), 1) << type;
    }
  }
}

// A patch file name holding a character no file name may hold is refused in every build,
// before anything is written or started.
TEST_F(EngineRun, OutputNamesWithCharactersFileNamesMustNotHoldAreRefused) {
  const std::pair<std::string, const char*> names[] = {
      {"a\" -TT \"touch PWNED\" \"b.utp", "the character '\"'"},
      {"p<1>.utp", "the character '<'"},
      {"p|q", "the character '|'"},
      {"p*", "the character '*'"},
      {"what?.utp", "the character '?'"},
      {"line\nbreak.utp", "the control character 0x0A"},
      {"esc\x1b.utp", "the control character 0x1B"},
  };
  scratch_.WriteFile("packer.exe", "a packer");
  Options.PackerOn = 1;
  Options.PackerUseCustom[0] = 1;
  Options.PackerProgram[0] = P("packer.exe");
  for (const auto& [name, character] : names) {
    FileVersions(P(name));
    const std::string output = MakeOutputNames(P(name), 0).output;
    EXPECT_EQ(runfix::RunEngine(), "Error, the patch file name \"" + output + "\" contains " + character +
                                       ", which file names must not contain!")
        << name;
    EXPECT_EQ(scratch_.Listing(), (std::vector<std::string>{"packer.exe", "v0.bin", "v1.bin", "v2.bin"}))
        << name;
  }
  EXPECT_EQ(frontEnd_.commands, std::vector<std::string>{});
}

TEST_F(EngineRun, FileVersionsGiveOnePlainRecord) {
  Identification().first[0] = 0x11;
  Identification().first[63] = 0x22;
  Identification().second = {1, 2, 3};
  FileVersions(P("out"));
  ASSERT_EQ(runfix::RunEngine(), "");
  const runfix::Bytes bytes = testsupport::ReadFileBytes(P("out.utp"));
  const patchdec::Patch patch = patchdec::ParsePatch(bytes);
  EXPECT_EQ(patch.mode, 1);
  EXPECT_EQ(patch.flags, 0);
  EXPECT_EQ(patch.identification[0], 0x11);
  EXPECT_EQ(patch.identification[63], 0x22);
  EXPECT_EQ(patch.secondIdentification, (runfix::Bytes{1, 2, 3}));
  EXPECT_EQ(patch.trailerLength, bytes.size());
  ASSERT_EQ(patch.entries.size(), 1u);
  const patchdec::FileRecord& r = patch.entries[0].record;
  EXPECT_EQ(r.steps.size(), 2u);
  for (int from = 0; from < 2; ++from)
    EXPECT_EQ(patchdec::RebuildTarget(r, runfix::ToBytes(Version(from))), runfix::ToBytes(Version(2)));
  EXPECT_EQ(r.stamp, PackDosTime(runfix::Scratch::kTime));
  EXPECT_EQ(frontEnd_.calls.front(), "Pump");
  // Told once, before anything else, that the run patches files; and each step's versions.
  EXPECT_EQ(frontEnd_.directoryModes, std::vector<bool>{false});
  EXPECT_EQ(frontEnd_.directoryModesAt, std::vector<size_t>{0});
  const std::vector<std::string> versions = {P("v0.bin"), P("v1.bin"), P("v2.bin")};
  EXPECT_EQ(frontEnd_.versionLists, (std::vector<std::vector<std::string>>{versions, versions}));
  EXPECT_EQ(scratch_.Listing(), (std::vector<std::string>{"out.utp", "v0.bin", "v1.bin", "v2.bin"}));
}

// The changed file of golden_patch.h: the run writes its patch byte for byte stored and
// deflated; the deflated stream inflates to the stored one, and both rebuild the target.
TEST_F(EngineRun, ChangedFileGivesTheGoldenPatchStoredAndDeflated) {
  const runfix::Bytes source = golden::ChangeSource700(), target = golden::ChangeTarget403();
  scratch_.WriteFile("change\\source", Text(source));
  scratch_.WriteFile("change\\target", Text(target), {2005, 6, 7, 8, 9, 10});
  const std::pair<uint8_t, runfix::Bytes> forms[] = {{0, golden::ChangePatch182()},
                                                     {1, golden::DeflatedChangePatch150()}};
  for (const auto& [compress, want] : forms) {
    Options.Compress = compress;
    runfix::SetFileNames({P("change\\source"), P("change\\target")}, P("change.utp"));
    ASSERT_EQ(runfix::RunEngine(), "");
    const runfix::Bytes bytes = testsupport::ReadFileBytes(P("change.utp"));
    EXPECT_EQ(bytes, want) << "compress " << int(compress);
    const patchdec::Patch patch = patchdec::ParsePatch(bytes);
    EXPECT_EQ(patchdec::RebuildTarget(patch.entries.at(0).record, source), target);
  }
  const runfix::Bytes deflated = golden::DeflatedChangePatch150();
  EXPECT_EQ(patchdec::Inflate(deflated.data() + 76, deflated.size() - 76 - 8), golden::ChangeStream98());
  EXPECT_EQ(scratch_.LeftoverTemps(), std::vector<std::string>{});
}

TEST_F(EngineRun, ExecutablePatchIsTheStubFollowedByThePlainPatch) {
  const std::string stub = "MZ dummy applier stub " + std::string(1500, '\x90');
  scratch_.WriteFile("stubs\\mendr32.exe", stub);
  SetProgramDirectory(P("stubs\\Quiltor32.exe"));
  FileVersions(P("plain.utp"));
  ASSERT_EQ(runfix::RunEngine(), "");
  const runfix::Bytes plain = testsupport::ReadFileBytes(P("plain.utp"));

  Options.ApplierKind = 3;
  FileVersions(P("patch"));
  ASSERT_EQ(runfix::RunEngine(), "");
  runfix::Bytes expected = runfix::ToBytes(stub);
  expected.insert(expected.end(), plain.begin(), plain.end());
  const runfix::Bytes exe = testsupport::ReadFileBytes(P("patch.exe"));
  EXPECT_EQ(exe, expected);
  const patchdec::Patch patch = patchdec::ParsePatch(exe);
  EXPECT_EQ(patch.stubSize, stub.size());
  EXPECT_EQ(patch.trailerLength, plain.size());
  EXPECT_EQ(frontEnd_.patchSizes.back(), int64_t(exe.size()));
  EXPECT_EQ(scratch_.LeftoverTemps(), std::vector<std::string>{});

  // Kind 2 closes the stream with its pair.
  scratch_.WriteFile("stubs\\mendrint.exe", stub);
  Options.ApplierKind = 2;
  ASSERT_EQ(runfix::RunEngine(), "");
  EXPECT_TRUE(patchdec::ParsePatch(testsupport::ReadFileBytes(P("patch.exe"))).applierPair);
}

// Each applier kind takes the stub of its own name; only kind 2 closes the stream with its
// pair. Without the stub the front end is told its name.
TEST_F(EngineRun, EveryApplierKindTakesItsOwnStub) {
  const char* const stubs[] = {"mendrin.exe", "mendrint.exe", "mendr32.exe",
                               "mendr32i.exe", "mendr16.exe", "mendr16i.exe"};
  FileVersions(P("plain.utp"));
  ASSERT_EQ(runfix::RunEngine(), "");
  const runfix::Bytes plain = testsupport::ReadFileBytes(P("plain.utp"));
  for (uint32_t kind = 1; kind <= 6; ++kind) {
    SCOPED_TRACE(kind);
    const std::string stub = std::string("MZ stub ") + stubs[kind - 1];
    SetProgramDirectory(P("none\\Quiltor32.exe"));
    Options.ApplierKind = kind;
    FileVersions(P("patch.exe"));
    frontEnd_.calls.clear();
    EXPECT_THROW(CreatePatch(), runfix::MissingStubRaised);
    EXPECT_EQ(frontEnd_.calls.back(), std::string("MissingStub ") + stubs[kind - 1]);

    scratch_.WriteFile(std::string("stubs\\") + stubs[kind - 1], stub);
    SetProgramDirectory(P("stubs\\Quiltor32.exe"));
    ASSERT_EQ(runfix::RunEngine(), "");
    const runfix::Bytes exe = testsupport::ReadFileBytes(P("patch.exe"));
    const patchdec::Patch patch = patchdec::ParsePatch(exe);
    EXPECT_EQ(Text(runfix::Bytes(exe.begin(), exe.begin() + std::ptrdiff_t(patch.stubSize))), stub);
    EXPECT_EQ(patch.applierPair, kind == 2);
    if (kind != 2) {
      EXPECT_EQ(runfix::Bytes(exe.begin() + std::ptrdiff_t(patch.stubSize), exe.end()), plain);
    }
    EXPECT_EQ(scratch_.LeftoverTemps(), std::vector<std::string>{});
  }
}

TEST_F(EngineRun, MissingStubEndsTheRunThroughTheFrontEnd) {
  scratch_.WriteFile("patch.exe", "previous");
  SetProgramDirectory(P("nostubs\\Quiltor32.exe"));
  Options.ApplierKind = 1;
  FileVersions(P("patch.exe"));
  try {
    CreatePatch();
    ADD_FAILURE() << "the run went on";
  } catch (const runfix::MissingStubRaised& e) {
    EXPECT_EQ(e.stubName, "mendrin.exe");
  }
  EXPECT_EQ(Text(testsupport::ReadFileBytes(P("patch.exe"))), "previous");
  EXPECT_EQ(scratch_.LeftoverTemps(), std::vector<std::string>{});
  EXPECT_EQ(BuffersSettled.load(), 1);
  EXPECT_TRUE(RootLists().empty());
}

// Every failure of a run: its exact message, the previous output untouched and no
// temporary file left anywhere. A case's set-up reaches the front end of its run through
// caseFrontEnd; the cases without a front end run with the engine's quiet default.
struct ErrorCase {
  const char* what;
  std::function<void(runfix::Scratch&)> setUp;
  std::function<std::string(runfix::Scratch&)> message;
  bool withoutFrontEnd = false;
};
runfix::RecordingFrontEnd* caseFrontEnd = nullptr;

TEST_F(EngineRun, FailuresGiveTheirMessageAndLeaveNoOutput) {
  auto files = [](runfix::Scratch& s) {
    runfix::SetFileNames({s.Path("v0.bin"), s.Path("v1.bin")}, s.Path("out.utp"));
  };
  auto trees = [](runfix::Scratch& s) {
    s.WriteTree("d0", {{"a.txt", Version(0)}});
    s.WriteTree("d1", {{"a.txt", Version(1)}, {"b.bin", "\x01\x02"}});
    runfix::SetFileNames({s.Path("d0"), s.Path("d1")}, s.Path("out.utp"));
  };
  const ErrorCase cases[] = {
      {"too few names", [](runfix::Scratch& s) { runfix::SetFileNames({s.Path("v0.bin")}, s.Path("out.utp")); },
       [](runfix::Scratch&) {
         return std::string("Error, 2 file names given, but a patch needs 3 to 21: one to 19 older "
                            "versions, the target and the patch file!");
       }},
      {"too many names",
       [&](runfix::Scratch& s) {
         files(s);
         Options.FileCount = 22;
       },
       [](runfix::Scratch&) {
         return std::string("Error, 22 file names given, but a patch needs 3 to 21: one to 19 older "
                            "versions, the target and the patch file!");
       }},
      {"packer outside the table",
       [&](runfix::Scratch& s) {
         files(s);
         Options.PackerType = 7;
       },
       [](runfix::Scratch&) {
         return std::string("Error, packer support for selected packer unknown on this platform. "
                            "Please inform us, if this is wrong!");
       }},
      {"applier outside the table",
       [&](runfix::Scratch& s) {
         files(s);
         Options.ApplierKind = 7;
       },
       [](runfix::Scratch&) { return std::string("Error, applier kind 7 unknown!"); }},
      {"a file among directories",
       [](runfix::Scratch& s) {
         s.WriteTree("d0", {});
         runfix::SetFileNames({s.Path("d0"), s.Path("v1.bin")}, s.Path("out.utp"));
       },
       [](runfix::Scratch& s) {
         return "Error, \"" + s.Path("v1.bin") +
                "\" does not exist or is no directory.\nPlease note that Quiltor will only patch "
                "directories into directories\nor files into files, but you can't mix them.\n";
       }},
      {"a missing version",
       [](runfix::Scratch& s) { runfix::SetFileNames({s.Path("v0.bin"), s.Path("none.bin")}, s.Path("out.utp")); },
       [](runfix::Scratch& s) { return "Error, can't find file \"" + s.Path("none.bin") + "\"!\n"; }},
#ifndef _WIN32
      {"a version that is a FIFO",
       [](runfix::Scratch& s) {
         testsupport::MakeFifo(s.Path("pipe.bin"));
         runfix::SetFileNames({s.Path("pipe.bin"), s.Path("v1.bin")}, s.Path("out.utp"));
       },
       [](runfix::Scratch& s) {
         return "Error, \"" + s.Path("pipe.bin") +
                "\" is not a regular file (but a pipe, socket or device)!\n";
       }},
#endif
      {"the output is a version",
       [](runfix::Scratch& s) {
         s.WriteFile("v1.utp", Version(1));
         runfix::SetFileNames({s.Path("v0.bin"), s.Path("v1.utp")}, s.Path("v1.utp"));
       },
       [](runfix::Scratch& s) {
         return "Error, the patch file \"" + s.Path("v1.utp") + "\" is one of the versions to be patched!";
       }},
      {"the packer's archive is a version",
       [](runfix::Scratch& s) {
         s.WriteFile("packer.exe", "a packer");
         s.WriteFile("v1.zip", Version(1));
         runfix::SetFileNames({s.Path("v0.bin"), s.Path("v1.zip")}, s.Path("v1"));
         Options.PackerOn = 1;
         Options.PackerUseCustom[0] = 1;
         Options.PackerProgram[0] = s.Path("packer.exe");
       },
       [](runfix::Scratch& s) {
         return "Error, the patch file \"" + s.Path("v1.zip") + "\" is one of the versions to be patched!";
       }},
      {"the output lies in a tree",
       [&](runfix::Scratch& s) {
         trees(s);
         Options.FileNames[2] = s.Path("d1\\sub\\..\\out");
       },
       [](runfix::Scratch& s) {
         return "Error, the patch file \"" + s.Path("d1\\sub\\..\\out.utp") +
                "\" lies inside the directory \"" + s.Path("d1") + "\" being patched!";
       }},
      {"a root inside another",
       [&](runfix::Scratch& s) {
         trees(s);
         s.WriteTree("d0\\inner", {{"x.txt", "x"}});
         Options.FileNames[1] = s.Path("d0\\inner");
       },
       [](runfix::Scratch& s) {
         return "Error, the directory \"" + s.Path("d0\\inner") + "\" lies inside the directory \"" +
                s.Path("d0") + "\"; the versions of a tree must not contain each other!";
       }},
      {"the output's folder is missing",
       [&](runfix::Scratch& s) {
         files(s);
         Options.FileNames[2] = s.Path("nofolder\\out.utp");
       },
       [](runfix::Scratch& s) {
         return "Error, can't open patchfile \"" + s.Path("nofolder\\out.utp") + "\" for writing!";
       }},
      {"the output is a folder",
       [&](runfix::Scratch& s) {
         files(s);
         s.MakeFolders("folder.utp");
         Options.FileNames[2] = s.Path("folder.utp");
       },
       [](runfix::Scratch& s) {
         return "Error, can't replace \"" + s.Path("folder.utp") + "\" with the new patch file!";
       }},
      {"no temporary file can be made",
       [&](runfix::Scratch& s) {
         files(s);
         Options.ApplierKind = 3;
         Options.FileNames[2] = s.Path("out.exe");
         s.MoveTempFolder(s.Path("notmp"));
       },
       [](runfix::Scratch&) { return std::string("Can't create necessary temporary file!"); }},
      {"a missing stub without a front end",
       [&](runfix::Scratch& s) {
         files(s);
         SetProgramDirectory(s.Path("nostubs\\x"));
         Options.ApplierKind = 4;
         Options.FileNames[2] = s.Path("out.exe");
       },
       [](runfix::Scratch&) {
         return std::string("Error, can't find \"mendr32i.exe\" in directory of the calling Fabrin, "
                            "though it's required to build executeable patchfiles");
       },
       true},
      {"a file vanishes before it is embedded",
       [&](runfix::Scratch& s) {
         trees(s);
         static std::string vanishing;
         vanishing = s.Path("d1\\b.bin");
         caseFrontEnd->file = [](int64_t, int64_t, const std::string& name) {
           if (name == "b.bin") platform::RemoveFile(vanishing);
         };
       },
       [](runfix::Scratch& s) {
         return "Error, can't open file \"" + s.Path("d1\\b.bin") + "\" for embedding!";
       }},
      {"cancel in the match search of a second step",
       [&](runfix::Scratch& s) {
         // The step into the target is parked in a temporary file by then.
         s.WriteFile("v2.bin", Version(2));
         runfix::SetFileNames({s.Path("v0.bin"), s.Path("v1.bin"), s.Path("v2.bin")}, s.Path("out.utp"));
         static int last;
         last = -1;
         caseFrontEnd->stage1 = [](int percent) {
           if (percent < last) RequestCancel();
           last = percent;
         };
       },
       [](runfix::Scratch&) { return std::string("Patch creation cancelled."); }},
      {"cancel between files",
       [&](runfix::Scratch& s) {
         trees(s);
         caseFrontEnd->file = [](int64_t, int64_t, const std::string&) { RequestCancel(); };
       },
       [](runfix::Scratch&) { return std::string("Patch creation cancelled."); }},
  };
  for (const ErrorCase& c : cases) {
    runfix::Scratch s;
    runfix::RecordingFrontEnd frontEnd;
    caseFrontEnd = &frontEnd;
    FrontEndServices none;
    std::optional<FrontEndScope> quiet;
    if (c.withoutFrontEnd) quiet.emplace(none);
    ResetEngineOptions();
    ClampEngineOptions();
    s.WriteFile("v0.bin", Version(0));
    s.WriteFile("v1.bin", Version(1));
    s.WriteFile("out.utp", "previous");
    s.WriteFile("out.exe", "previous");
    c.setUp(s);
    EXPECT_EQ(runfix::RunEngine(), c.message(s)) << c.what;
    EXPECT_EQ(Text(testsupport::ReadFileBytes(s.Path("out.utp"))), "previous") << c.what;
    EXPECT_EQ(Text(testsupport::ReadFileBytes(s.Path("out.exe"))), "previous") << c.what;
    EXPECT_EQ(s.LeftoverTemps(), std::vector<std::string>{}) << c.what;
    EXPECT_EQ(BuffersSettled.load(), 1) << c.what;
    EXPECT_FALSE(CancelRequested()) << c.what;
    SetProgramDirectory("");
  }
  caseFrontEnd = nullptr;
}

// A failure leaves the run as an EEngineError that names its message.
TEST_F(EngineRun, FailuresAreEngineErrorsNamingTheirMessage) {
  runfix::SetFileNames({P("v0.bin"), P("none.bin")}, P("out.utp"));
  try {
    CreatePatch();
    ADD_FAILURE() << "the run went on";
  } catch (const EEngineError& e) {
    EXPECT_EQ(&e.Id(), &msg::FileNotFound);
    EXPECT_EQ(e.Message(), "Error, can't find file \"" + P("none.bin") + "\"!\n");
  }
  Options.ApplierKind = 7;
  try {
    CreatePatch();
    ADD_FAILURE() << "the run went on";
  } catch (const EEngineError& e) {
    EXPECT_EQ(&e.Id(), &msg::ApplierUnknown);
  }
}

TEST_F(EngineRun, JoinFailuresNameTheFileThatFailed) {
  scratch_.WriteFile("stub.exe", "stub");
  scratch_.WriteFile("patch.tmp", "patch");
  auto message = [](const std::function<void()>& f) {
    try {
      f();
    } catch (const Exception& e) {
      return e.Message();
    }
    return std::string("(nothing raised)");
  };
  EXPECT_EQ(message([&] { JoinStubAndPatch(P("none.exe"), P("patch.tmp"), P("out.exe")); }),
            "Couldn't access file \"" + P("none.exe") + "\", internal file handling error?!");
  EXPECT_EQ(message([&] { JoinStubAndPatch(P("stub.exe"), P("none.tmp"), P("out.exe")); }),
            "Couldn't access file \"" + P("none.tmp") + "\", internal file handling error?!");
  EXPECT_EQ(message([&] { JoinStubAndPatch(P("stub.exe"), P("patch.tmp"), P("no\\out.exe")); }),
            "Couldn't create file \"" + P("no\\out.exe") + "\" for writing!");
  EXPECT_EQ(scratch_.Listing(), (std::vector<std::string>{"patch.tmp", "stub.exe", "v0.bin", "v1.bin",
                                                          "v2.bin"}));
  JoinStubAndPatch(P("stub.exe"), P("patch.tmp"), P("out.exe"));
  EXPECT_EQ(Text(testsupport::ReadFileBytes(P("out.exe"))), "stubpatch");
}

TEST_F(EngineRun, CancelledRunLeavesTheNextOneUntouched) {
  frontEnd_.stage1 = [](int) { RequestCancel(); };
  FileVersions(P("out.utp"));
  EXPECT_EQ(runfix::RunEngine(), "Patch creation cancelled.");
  // A cancel leaves the run as what it is, not as a failure.
  EXPECT_THROW(CreatePatch(), ECancelled);
  frontEnd_.stage1 = nullptr;
  EXPECT_EQ(runfix::RunEngine(), "");
  EXPECT_EQ(patchdec::ParsePatch(testsupport::ReadFileBytes(P("out.utp"))).entries.size(), 1u);
  FreeEngineBuffers();
  FreeEngineBuffers();
  EXPECT_EQ(BuffersSettled.load(), 1);
}

// A pause holds the run at its next progress point until it is resumed, from another
// thread; the run then writes the same patch as one never paused.
TEST_F(EngineRun, PausedRunWaitsAtItsNextProgressPoint) {
  FileVersions(P("plain.utp"));
  EXPECT_EQ(runfix::RunEngine(), "");
  static std::atomic<int> calls;
  static std::atomic<int> callsWhilePaused;
  static std::thread resumer;
  calls = 0;
  callsWhilePaused = -1;
  frontEnd_.stage1 = [](int) {
    if (calls++ != 0) return;
    RunControl().Pause();
    resumer = std::thread([] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      callsWhilePaused = calls - 1;
      RunControl().Resume();
    });
  };
  FileVersions(P("paused.utp"));
  EXPECT_EQ(runfix::RunEngine(), "");
  resumer.join();
  EXPECT_EQ(callsWhilePaused.load(), 0);
  EXPECT_GT(calls.load(), 1);
  EXPECT_EQ(testsupport::ReadFileBytes(P("paused.utp")), testsupport::ReadFileBytes(P("plain.utp")));
  EXPECT_FALSE(RunControl().Paused());
}

// A run whose process is interrupted (natively by a signal, under Windows by a console
// event) leaves no temporary file, and the earlier patch and archive as they were: at its
// first record, while helper threads park steps, and while the packer would run.
TEST(InterruptedRun, LeavesNoTemporaryFileAndEarlierFilesAsTheyWere) {
  struct Case {
    const char* how;
    const char* where;
    const char* applier;
  } cases[] = {{"int", "walk", "0"}, {"term", "walk", "3"}, {"int", "packer", "0"}};
  for (const Case& c : cases) {
    const std::string what = std::string(c.how) + " " + c.where + " " + c.applier;
    runfix::Scratch s;
    testsupport::TreeFiles v0, v1;
    for (uint32_t i = 0; i < 6; ++i) {
      const std::string name = "f" + std::to_string(i) + ".txt";
      v0[name] = Noise(20000, i, kAlphabet);
      v1[name] = v0[name].substr(100) + "changed";
    }
    s.WriteTree("v0", v0);
    s.WriteTree("v1", v1);
    s.WriteFile("stubs\\mendr32.exe", "MZ stub");
    for (const char* name : {"out.utp", "out.exe", "out.zip"})
      s.WriteFile(name, std::string("earlier ") + name);
    using platform::QuoteArgument;
    const std::string line = QuoteArgument(testsupport::BesideThisProgram("interrupted_run")) + " " + c.how +
                             " " + c.where + " " + c.applier + " " + QuoteArgument(s.Path("stubs")) + " " +
                             QuoteArgument(s.Path(c.applier[0] == '0' ? "out.utp" : "out.exe")) + " " +
                             QuoteArgument(s.Path("v0")) + " " + QuoteArgument(s.Path("v1"));
    uint32_t code = 0;
    ASSERT_TRUE(platform::RunProcess(line, false, code)) << line;
    EXPECT_TRUE(testsupport::EndedByInterruption(
        code, c.how[0] == 'i' ? testsupport::Interruption::Interrupt : testsupport::Interruption::Terminate))
        << what << ": exit code " << code;
    // A listed file that was still open goes when the ended process's handles are closed,
    // which Wine may finish a moment after the exit code is known.
    const std::vector<std::string> expected{"out.exe", "out.utp", "out.zip", "stubs", "v0", "v1"};
    for (int i = 0; i < 50 && s.Listing() != expected; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(s.Listing(), expected) << what;
    for (const char* name : {"out.utp", "out.exe", "out.zip"})
      EXPECT_EQ(Text(testsupport::ReadFileBytes(s.Path(name))), std::string("earlier ") + name) << what;
  }
}

// The archiver stage with relative names, so that the short-name rule sees them as given.
class ArchiverStage : public EngineRun {
 protected:
  void SetUp() override {
    EngineRun::SetUp();
    cwd_ = std::make_unique<runfix::CurrentDirectory>(scratch_.Dir());
    scratch_.WriteFile("packer.exe", "a packer");
  }
  void TearDown() override {
    cwd_.reset();
    EngineRun::TearDown();
  }
  void Use(uint32_t type, const std::string& output) {
    runfix::SetFileNames({"v0.bin", "v1.bin"}, output);
    Options.PackerOn = 1;
    Options.PackerType = type;
    Options.PackerUseCustom[type] = 1;
    Options.PackerProgram[type] = "packer.exe";
  }
  std::unique_ptr<runfix::CurrentDirectory> cwd_;
};

TEST_F(ArchiverStage, CommandLinesQuoteEveryPath) {
  const char* const lines[] = {
      "\"packer.exe\" -9 -g -X -j \"patch\" \"patch.utp\"",
      "\"packer.exe\" a -n -m \"patch\" \"patch.utp\"",
      "\"packer.exe\" a \"patch\" \"patch.utp\" -std -tl -ep -m5 -mm",
      "\"packer.exe\" -N -9 -S\".gz \" \"patch.utp\"",
      "\"packer.exe\" -ex -a -o \"patch.zip\" \"patch.utp\"",
      "\"packer.exe\" a -jm -e -i -y \"patch.arj\" \"patch.utp\"",
      "\"packer.exe\" a -m4 -y \"patch.j\" \"patch.utp\"",
  };
  const char* const archives[] = {"patch.zip", "patch.lzh", "patch.rar", "patch.gz",
                                  "patch.zip", "patch.arj", "patch.j"};
  for (uint32_t type = 0; type < 7; ++type) {
    frontEnd_.calls.clear();
    frontEnd_.commands.clear();
    scratch_.WriteFile(archives[type], "old archive");
    Use(type, "patch.utp");
    ASSERT_EQ(runfix::RunEngine(), "") << type;
    EXPECT_EQ(frontEnd_.commands, std::vector<std::string>{lines[type]}) << type;
    EXPECT_EQ(frontEnd_.calls.back(), "Run") << type;  // hidden, and no question asked
    EXPECT_TRUE(testsupport::ReadFileBytes(archives[type]).empty()) << type;
    EXPECT_EQ(patchdec::ParsePatch(testsupport::ReadFileBytes("patch.utp")).entries.size(), 1u) << type;
  }
}

TEST_F(ArchiverStage, LongOutputNamesAreAskedAboutForSomeArchivers) {
  const char* const words[] = {"", "", "RAR", "GZip", "PkZIP", "ARJ", ""};
  for (bool answer : {false, true}) {
    frontEnd_.answerLongNames = answer;
    for (uint32_t type = 0; type < 7; ++type) {
      frontEnd_.calls.clear();
      frontEnd_.commands.clear();
      scratch_.WriteFile("longpatchname.arj", "old archive");
      Use(type, "longpatchname");
      ASSERT_EQ(runfix::RunEngine(), "") << type;
      const bool asks = words[type][0] != 0;
      const std::string question = std::string("Ask ") + words[type] + " longpatchname.utp";
      EXPECT_EQ(std::count(frontEnd_.calls.begin(), frontEnd_.calls.end(), question), asks ? 1 : 0) << type;
      EXPECT_EQ(frontEnd_.commands.size(), !asks || answer ? 1u : 0u) << type;
      if (type == 5) {
        EXPECT_EQ(testsupport::ReadFileBytes("longpatchname.arj").empty(), answer);
      }
      EXPECT_EQ(patchdec::ParsePatch(testsupport::ReadFileBytes("longpatchname.utp")).entries.size(), 1u);
    }
  }
}

TEST_F(ArchiverStage, ArchiverFailuresAreErrorsAndTheFinishedPatchStays) {
  Use(0, "patch.utp");
  frontEnd_.exitCode = 3;
  EXPECT_EQ(runfix::RunEngine(), "Error, packer \"packer.exe\" failed with exit code 3!");
  EXPECT_EQ(patchdec::ParsePatch(testsupport::ReadFileBytes("patch.utp")).entries.size(), 1u);
  frontEnd_.startProcesses = false;
  EXPECT_EQ(runfix::RunEngine(), "Error, can't start packer \"packer.exe\"!");
  EXPECT_EQ(scratch_.LeftoverTemps(), std::vector<std::string>{});
}

// Until the archiver has succeeded, an earlier patch and an earlier archive stay as they
// were; while it runs, the new patch has the output's name and the old archive is away.
TEST_F(ArchiverStage, FailingArchiversLeaveTheEarlierPatchAndArchive) {
  scratch_.WriteFile("stubs\\mendr32.exe", "MZ stub");
  SetProgramDirectory(P("stubs\\Quiltor32.exe"));
  struct Case {
    uint32_t applier;
    const char* output;
    bool starts;
  } cases[] = {{0, "patch.utp", true}, {0, "patch.utp", false}, {3, "patch.exe", true}};
  for (const Case& c : cases) {
    const std::string what = std::string(c.output) + (c.starts ? " fails" : " does not start");
    scratch_.WriteFile(c.output, "earlier patch");
    scratch_.WriteFile("patch.zip", "earlier archive");
    Use(0, "patch");
    Options.ApplierKind = c.applier;
    static std::string seen;
    static const char* output;
    seen.clear();
    output = c.output;
    frontEnd_.run = [starts = c.starts](const std::string&, bool, uint32_t& code) {
      const runfix::Bytes patch = testsupport::ReadFileBytes(output);
      seen = patch.size() > 100 && patchdec::ParsePatch(patch).entries.size() == 1 ? "new patch" : "other";
      if (platform::IsFile("patch.zip")) seen += ", archive there";
      code = 3;
      return starts;
    };
    EXPECT_EQ(runfix::RunEngine(), c.starts ? "Error, packer \"packer.exe\" failed with exit code 3!"
                                            : "Error, can't start packer \"packer.exe\"!")
        << what;
    EXPECT_EQ(seen, "new patch") << what;
    EXPECT_EQ(Text(testsupport::ReadFileBytes(c.output)), "earlier patch") << what;
    EXPECT_EQ(Text(testsupport::ReadFileBytes("patch.zip")), "earlier archive") << what;
    EXPECT_EQ(scratch_.LeftoverTemps(), std::vector<std::string>{}) << what;
  }
  // Once it has succeeded, the earlier files are gone and the new patch stays.
  frontEnd_.run = nullptr;
  Options.ApplierKind = 0;
  scratch_.WriteFile("patch.utp", "earlier patch");
  ASSERT_EQ(runfix::RunEngine(), "");
  EXPECT_EQ(patchdec::ParsePatch(testsupport::ReadFileBytes("patch.utp")).entries.size(), 1u);
  EXPECT_FALSE(platform::IsFile("patch.zip"));
  EXPECT_EQ(scratch_.LeftoverTemps(), std::vector<std::string>{});
}

// Without a program of its own each packer type looks for its default program.
TEST_F(ArchiverStage, EveryPackerTypeLooksForItsDefaultProgram) {
  const char* const programs[] = {"zip.exe", "lha.exe", "rar.exe", "gzip.exe",
                                  "pkzip.exe", "arj.exe", "jar32.exe"};
  testsupport::ScopedEnv path("PATH", scratch_.Path("nothing"));
  for (uint32_t type = 0; type < 7; ++type) {
    frontEnd_.calls.clear();
    Use(type, "patch.utp");
    Options.PackerUseCustom[type] = 0;
    EXPECT_EQ(runfix::RunEngine(), "") << type;
    const std::string notFound = std::string("NotFound path ") + programs[type];
    EXPECT_EQ(frontEnd_.calls, std::vector<std::string>{notFound}) << type;
  }
}

TEST_F(ArchiverStage, ProgramsAreFoundOnThePathOrReportedMissing) {
  scratch_.WriteFile("bin\\ZIP.EXE", "zip");
  testsupport::ScopedEnv path("PATH", scratch_.Path("nothing") + platform::PathListSeparator() + scratch_.Path("bin"));
  Use(0, "patch.utp");
  Options.PackerUseCustom[0] = 0;
  EXPECT_EQ(runfix::RunEngine(), "");
  EXPECT_EQ(frontEnd_.commands, std::vector<std::string>{"\"zip.exe\" -9 -g -X -j \"patch\" \"patch.utp\""});

  // Not found: the front end is told and nothing at all is written.
  platform::RemoveFile("patch.utp");
  Use(1, "patch.utp");
  Options.PackerUseCustom[1] = 0;
  EXPECT_EQ(runfix::RunEngine(), "");
  Use(2, "patch.utp");
  Options.PackerProgram[2] = "missing\\rar.exe";
  EXPECT_EQ(runfix::RunEngine(), "");
  EXPECT_EQ(std::count(frontEnd_.calls.begin(), frontEnd_.calls.end(), "NotFound path lha.exe"), 1);
  EXPECT_EQ(std::count(frontEnd_.calls.begin(), frontEnd_.calls.end(), "NotFound custom missing\\rar.exe"), 1);
  EXPECT_TRUE(testsupport::ReadFileBytes("patch.utp").empty());
  EXPECT_EQ(scratch_.Listing(), (std::vector<std::string>{"bin", "packer.exe", "v0.bin", "v1.bin", "v2.bin"}));
}

}  // namespace
