#include <gtest/gtest.h>

#include <functional>

#include "platform/byte_order.h"
#include "setup_engine/archive_format.h"
#include "setup_engine/install_cli.h"
#include "setup_engine/install_driver.h"
#include "tests/setup_engine/error_text.h"
#include "tests/setup_engine/install_fakes.h"

namespace {

using namespace setup;
using installtest::InstallFixture;
using installtest::TRecorder;

using installtest::Error;

// Counts the message pumps of a run: a copy pumps once per block.
class TCountingApplication : public installtest::TFakeApplication {
 public:
  int pumps = 0;
  void ProcessMessages() override { ++pumps; }
};

class Build : public InstallFixture {
 protected:
  Build() {
    RegisterInstallCliClasses();
    setup::InstallServices().Application = &app;
    app.program = dir.Path("prog/setup.exe");
    // Not the folder the program lies in: the program is stored by its full path.
    folders.current = dir.Path("src");
    for (const char* d : {"src", "src/help", "lib"}) platform::MakeDirectory(dir.Path(d));
    Write("src/app.exe", std::string(30000, 'a') + "end");
    Write("src/help/index.htm", "<p>help</p>");
    Write("src/extra.txt", "left out");
    Write("lib/K32V31.TXT", "");
    Write("lib/KestrinLoadProgram.exe", "LOADER PROGRAM");
    WriteRegString(TRootKeys::hkLocalMachine, "\\Software\\Halden\\K32V31", "",
                   dir.Path("nowhere") + ";" + dir.Path("lib"));
    Write("prog/BUILD.INF", dir.Path("dist") + "\r\n");
  }
  ~Build() override { root.reset(); }
  std::string File(const std::string& name, const std::string& from, const std::string& file,
                   const std::string& container = "Install1", const std::string& extra = "") {
    return "  object " + name + ": TInstallFile\n    Container = " + container +
           "\n    DestDirType = psContainerDestDir\n    ArchiveFileType = psContainerArchiveFile\n"
           "    IncludeFromDir = '" + dir.Path(from) + "'\n    FileName = '" + file + "'\n    DestName = '" + file +
           "'\n" + extra + "  end\n";
  }
  std::string Definition(const std::string& driverExtra = "") {
    return "  object Install1: TInstall\n    RunAutomatic = False\n    Information.ProductName = 'Demo'\n" +
           driverExtra + "  end\n" + File("App", "src", "app.exe") +
           "  object Help: TInstallFileGroup\n    Container = Install1\n    DestDirType = psContainerDestDir\n"
           "    DestDir = '\\help'\n    ArchiveFileType = psContainerArchiveFile\n  end\n" +
           File("Index", "src/help", "index.htm", "Help") +
           File("Extra", "src", "extra.txt", "Install1", "    Include = False\n");
  }
  // The entries of an archive (at offset in its file) and their bytes.
  std::map<std::string, std::string> Entries(const std::string& path, int32_t offset = 0) {
    std::map<std::string, std::string> out;
    TKstnCompress k;
    k.SetCompressedFile(path);
    k.Offset = offset;
    int n = k.FileCount();
    platform::MakeDirectory(dir.Path("out"));
    for (int i = 0; i < n; ++i) {
      TlzhFileStats stats;
      k.GetFileStats(i, stats);
      std::string name = stats.header.name;
      TKstnCompress x;
      x.SetCompressedFile(path);
      x.Offset = offset;
      x.ExtractDirectory = dir.Path("out");
      x.ExtractName = "entry";
      std::vector<std::string> lines{name};
      x.SetFilesToProcess(lines);
      x.ExtractFile();
      out[name] = Read("out/entry");
      platform::RemoveFile(dir.Path("out/entry"));
    }
    return out;
  }
  TCountingApplication app;
};

// -b builds the distribution: the loader copied from the library folder the registry
// names, setup.1 with the program, files.1 with every file (excluded ones too), joined into
// one self-extracting setup.exe whose tail finds each part; the program ends with 0.
TEST_F(Build, BuildModeMakesTheSelfExtractor) {
  app.parameters = {"-b"};
  Load(Definition());
  EXPECT_EQ(prompts.log, std::vector<std::string>{});
  EXPECT_EQ(app.log.back(), "terminate 0");
  std::string exe = dir.Path("dist/setup.exe");
  TSelfExtractorTail tail;
  ReadExtractionInfo(exe, tail);
  EXPECT_EQ(tail.setupStart, 14);  // the loader's size
  std::string joined = Read("dist/setup.exe");
  EXPECT_EQ(joined.substr(0, 14), "LOADER PROGRAM");
  std::string part = Read("dist/setup.1"), archive = Read("dist/files.1");
  EXPECT_EQ(joined.substr(14, part.size()), part);
  EXPECT_EQ(tail.setupLast, int32_t(14 + part.size() - 1));
  EXPECT_EQ(tail.archiveStart, tail.setupLast + 1);
  EXPECT_EQ(joined.substr(size_t(tail.archiveStart), archive.size()), archive);
  EXPECT_EQ(joined.size(), 14 + part.size() + archive.size() + kTailSize);
  auto inside = Entries(exe, tail.archiveStart);
  EXPECT_EQ(inside, (std::map<std::string, std::string>{
                        {LocalPath(dir.Path("src") + "\\app.exe"), Read("src/app.exe")},
                        {LocalPath(dir.Path("src/help") + "\\index.htm"), Read("src/help/index.htm")},
                        {LocalPath(dir.Path("src") + "\\extra.txt"), Read("src/extra.txt")}}));
  EXPECT_EQ(Entries(dir.Path("dist/setup.1")), (std::map<std::string, std::string>{
                                                   {dir.Path("prog/setup.exe"), Read("prog/setup.exe")}}));
  // The driver's archive is the main one again.
  EXPECT_TRUE(Is<TpsMainArchiveFile>(setup::Driver()->ArchiveFileType()));
}

// Build mode's refusals: each its message and exit 1, and a stand-alone build without the
// loading program writes nothing.
TEST_F(Build, BuildModeErrors) {
  struct Case {
    std::function<void()> arrange;
    std::string extra;
    std::string message;
  } cases[] = {
      {[&] { platform::RemoveFile(dir.Path("prog/BUILD.INF")); }, "",
       "Need to have a BUILD.INF file in this directory with the first line specifying the build directory"},
      {[&] { Write("prog/BUILD.INF", ""); }, "",
       "Must be 1 line in BUILD.INF. This line should specify the build directory"},
      {[] {}, "    UseLoadingProgram = False\n",
       "Cannot build a stand alone executable if the UseLoadingProgram property of the TInstall is set to False"},
      {[&] { platform::RemoveFile(dir.Path("lib/K32V31.TXT")); }, "",
       "The HKEY_LOCAL_MACHINE | \\Software\\Halden\\K32V31 key in the registry is either missing or points to an "
       "invalid Kestrin directory"},
      {[&] { platform::RemoveFile(dir.Path("lib/KestrinLoadProgram.exe")); }, "",
       "The loader program " + dir.Path("lib") + "\\KestrinLoadProgram.exe was not found"},
      {[&] { platform::RemoveFile(dir.Path("src/help/index.htm")); }, "",
       "Could not open or find the following file when trying to read the Size, Date, and Version :" +
           dir.Path("src/help") + "\\index.htm"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.message);
    c.arrange();
    prompts.log.clear();
    app.log.clear();
    app.parameters = {"-b"};
    Load(Definition(c.extra));
    EXPECT_EQ(prompts.log, std::vector<std::string>{"error " + c.message});
    EXPECT_EQ(app.log.back(), "terminate 1");
    if (!c.extra.empty()) {
      EXPECT_FALSE(platform::IsDirectory(dir.Path("dist")));
    }
    root.reset();
    Write("prog/BUILD.INF", dir.Path("dist") + "\r\n");
    Write("lib/K32V31.TXT", "");
    Write("lib/KestrinLoadProgram.exe", "LOADER PROGRAM");
    Write("src/help/index.htm", "<p>help</p>");
  }
}

// Compress: both net options together fail before anything goes; a container left out
// packs nothing and still ends with -996; a file's setup keeps its archive settings.
TEST_F(Build, CompressOptions) {
  Load(Definition());
  TCustomInstall& d = *setup::Driver();
  auto* rec = new TRecorder(root.get());
  rec->SetContainer(Get<TInstallFileGroup>("Help"));
  d.SetArchiveFileType(nullptr);
  d.SetArchiveFile(dir.Path("out1/files.1"));
  platform::MakeDirectory(dir.Path("out1"));
  Write("out1/files.1", "old archive");
  EXPECT_EQ(Error([&] { d.Compress(coForceNetFilesLocal | coForceFilesNet); }),
            "Cannot pass both coForceNetFilesLocal and coForceFilesNet to Compress");
  EXPECT_EQ(Read("out1/files.1"), "old archive");

  auto* help = Get<TInstallFileGroup>("Help");
  help->SetInclude(false);
  d.Compress(coForceNetFilesLocal);
  EXPECT_FALSE(Get<TInstallFile>("Index")->Packed());
  EXPECT_EQ(rec->log, std::vector<std::string>{"-996"});
  EXPECT_TRUE(Get<TInstallFile>("App")->Packed());
  EXPECT_FALSE(Get<TInstallFile>("Extra")->Packed());  // left out without coIncludeAll
  EXPECT_TRUE(Is<TpsContainerArchiveFile>(Get<TInstallFile>("App")->ArchiveFileType()));
  EXPECT_EQ(Get<TInstallFile>("App")->AddToArchive(), lzcOverwrite);
  EXPECT_EQ(Entries(dir.Path("out1/files.1")).size(), 1u);

  // Copy puts the source files in place without an archive.
  help->SetInclude(true);
  d.SetDestDirType(nullptr);
  d.SetDestDir(dir.Path("copied"));
  d.SetState(TFileContainerState::fcsCopy);
  EXPECT_EQ(d.State(), TFileContainerState::fcsNone);
  EXPECT_EQ(Read("copied/app.exe"), Read("src/app.exe"));
  EXPECT_EQ(Read("copied/help/index.htm"), Read("src/help/index.htm"));
  EXPECT_EQ(Read("copied/extra.txt"), "<missing>");
}

// The floppy transfer copies the loader, the setup part in blocks of 8192 bytes (a part of
// exactly 8192 bytes in one, 8193 in two) and spans the archive as files.1.
TEST_F(Build, TransferToFloppies) {
  app.parameters = {"-f" + dir.Path("a")};
  Load(Definition());
  EXPECT_EQ(prompts.log, std::vector<std::string>{
                             "error Sorry... You can only transfer this installation to floppies through the "
                             "self-extracting file. Usage example: setup.exe *TODISK"});
  EXPECT_EQ(app.log.back(), "terminate 1");

  for (int size : {8192, 8193}) {
    SCOPED_TRACE(size);
    root.reset();
    platform::MakeDirectory(dir.Path("a"));
    Write("self.exe", "LOADER");
    Write("part.1", std::string(size_t(size), 'p'));
    CreateSelfExtractor(dir.Path("self.exe"), dir.Path("part.1"), dir.Path("nothing.1"));
    app.pumps = 0;
    app.log.clear();
    prompts.log.clear();
    app.parameters = {"-f" + dir.Path("a"), "-eself.exe", "-s" + dir.Path("")};
    Load(Definition());
    EXPECT_EQ(prompts.log, std::vector<std::string>{});
    EXPECT_EQ(app.log.back(), "terminate 0");
    EXPECT_EQ(Read("a/setup.exe"), "LOADER");
    EXPECT_EQ(Read("a/setup.1"), std::string(size_t(size), 'p'));
    EXPECT_EQ(app.pumps, size == 8192 ? 2 : 3);  // the loader's block, then the part's
  }

  // A real distribution: the archive spans onto the "disk" as files.1.
  root.reset();
  app.parameters = {"-b"};
  Load(Definition());
  root.reset();
  prompts.log.clear();
  app.parameters = {"-f" + dir.Path("a"), "-esetup.exe", "-s" + dir.Path("dist")};
  Load(Definition());
  EXPECT_EQ(prompts.log, std::vector<std::string>{});
  EXPECT_EQ(Read("a/setup.exe"), "LOADER PROGRAM");
  EXPECT_EQ(Read("a/setup.1"), Read("dist/setup.1"));
  EXPECT_EQ(Entries(dir.Path("a/files.1")), Entries(dir.Path("dist/files.1")));
}

// A tail counts only with its signature and its parts in order inside the file.
TEST(SelfExtractorTailChecks, PartsInOrder) {
  const int64_t size = 1000;  // the file; its last 56 bytes are the tail
  struct Case {
    int32_t s16, s20, s24, s28;
    bool ok;
  } cases[] = {
      {100, 500, 0, 0, true},     {100, 943, 0, 0, true},   {100, 944, 0, 0, false},
      {0, 500, 0, 0, false},      {100, 99, 0, 0, false},   {100, 100, 0, 0, true},
      {100, 500, 501, 943, true}, {100, 500, 500, 900, false}, {100, 500, 600, 599, false},
      {100, 500, 501, 944, false}, {100, 500, 0, 900, false},  {-1, 500, 0, 0, false},
  };
  for (const Case& c : cases) {
    TSelfExtractorTail t{c.s16, c.s20, c.s24, c.s28}, out;
    uint8_t raw[kTailSize];
    EncodeTail(t, raw);
    EXPECT_EQ(DecodeTail(raw, size, out), c.ok) << c.s16 << " " << c.s20 << " " << c.s24 << " " << c.s28;
  }
  TSelfExtractorTail t{100, 500, 0, 0}, out;
  uint8_t raw[kTailSize];
  EncodeTail(t, raw);
  raw[3] = 'X';
  EXPECT_FALSE(DecodeTail(raw, size, out));
}

}  // namespace
