#include <gtest/gtest.h>

#include <functional>

#include "setup_engine/install_cli.h"
#include "tests/setup_engine/error_text.h"
#include "tests/setup_engine/install_fakes.h"
#include "tests/setup_engine/version_blocks.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"

namespace {

using namespace setup;
using installtest::InstallFixture;

using installtest::Error;

class DesignRules : public InstallFixture {
 protected:
  DesignRules() {
    RegisterInstallCliClasses();
    Load("  object Install1: TInstall\n    RunAutomatic = False\n  end\n"
         "  object Other: TInstallFile\n    Container = Install1\n    IncludeFromDir = 'src'\n"
         "    FileName = 'taken.txt'\n    DestName = 'taken.txt'\n  end\n");
  }
  TInstallFile& NewFile() {
    auto* f = new TInstallFile(root.get());
    f->SetName("F" + std::to_string(++made_));
    f->SetContainer(setup::Driver());
    f->SetIncludeFromDir("src");
    return *f;
  }
  int made_ = 0;
};

// A program whose version information says it registers itself is an ActiveX file, as an
// ".OCX" is; one without the text stays a plain file.
TEST_F(DesignRules, ASelfRegisteringProgramIsAnActiveXFile) {
  using versiontest::PeImage;
  using versiontest::VersionBlock;
  testsupport::ScratchDir scratch;
  testsupport::WriteFileBytes(scratch.Path("server.exe"),
                              PeImage(VersionBlock("040904E4", 4, 1, 0, {{"OLESelfRegister", ""}})));
  testsupport::WriteFileBytes(scratch.Path("tool.exe"), PeImage(VersionBlock("040904E4", 4, 1, 0)));
  TInstallFile& server = NewFile();
  server.SetIncludeFromDir(scratch.Dir());
  server.SetFileName("server.exe");
  EXPECT_TRUE(server.ActiveX());
  EXPECT_EQ(server.FileType(), TInstallFileType::iftSystemWideDLL);
  TInstallFile& tool = NewFile();
  tool.SetIncludeFromDir(scratch.Dir());
  tool.SetFileName("tool.exe");
  EXPECT_FALSE(tool.ActiveX());
  EXPECT_EQ(tool.FileType(), TInstallFileType::iftNormal);
}

// What a change brings with it: the destination name, help registration, the ActiveX
// flag, the overwrite mode, the shared-DLL count and the folder of each DLL kind.
TEST_F(DesignRules, ChangesBringTheirConsequences) {
  TInstallFile& f = NewFile();
  f.SetFileName("readme.txt");
  EXPECT_EQ(f.DestName(), "readme.txt");
  f.SetFileName("guide.hlp");
  EXPECT_TRUE(f.RegisterAsHelp());
  f.SetFileName("grid.ocx");
  EXPECT_TRUE(f.ActiveX());
  EXPECT_EQ(f.FileType(), TInstallFileType::iftSystemWideDLL);
  EXPECT_EQ(f.OverwriteMode(), owVersionDate);
  EXPECT_TRUE(f.UpdateDLLCounter());
  EXPECT_TRUE(Is<TpsSystem>(f.DestDirType()));
  EXPECT_EQ(f.DestDir(), "");
  struct Case {
    TInstallFileType type;
    const TClassInfo* folder;
    const char* dir;
    bool counted;
  } cases[] = {{TInstallFileType::iftApplicationSpecificDLL, &TpsMainInstall::StaticClass(), "\\System", false},
               {TInstallFileType::iftVendorSharedDLL, &TpsCommonFiles::StaticClass(), "\\System", true}};
  for (const Case& c : cases) {
    TInstallFile& g = NewFile();
    g.SetFileName(g.Name() + ".dll");
    EXPECT_EQ(g.OverwriteMode(), owAlways);
    g.SetFileType(c.type);
    EXPECT_EQ(g.OverwriteMode(), owVersionDate);
    EXPECT_EQ(g.UpdateDLLCounter(), c.counted);
    EXPECT_TRUE(g.DestDirType()->ClassType().InheritsFrom(*c.folder));
    EXPECT_EQ(g.DestDir(), c.dir);
  }
  TInstallFile& w = NewFile();
  w.SetFileName("x.exe");
  w.SetDestDirType(FindStandard<TpsWindow>());
  EXPECT_EQ(w.OverwriteMode(), owVersionDate);
  TInstallFile& s = NewFile();
  s.SetFileName("x.dll");
  s.SetDestDirType(FindStandard<TpsSystem>());
  EXPECT_EQ(s.FileType(), TInstallFileType::iftSystemWideDLL);
}

// A refused change keeps every value as it was: a long name for a shared DLL, a second file
// of one source, a parent that holds no files.
TEST_F(DesignRules, RefusedChangesKeepTheOldValues) {
  TInstallFile& f = NewFile();
  f.SetFileName("short.dll");
  f.SetFileType(TInstallFileType::iftJustADLL);
  auto tooLong = [](const std::string& name) {
    return "The following file :" + name +
           ": is specified to be a Shared DLL file. To be installed on the user's system, shared DLLs must be loaded "
           "into the WININIT.INI. However, the WININIT.INI supports only old 8.3 character filenames";
  };
  EXPECT_EQ(Error([&] { f.SetFileName("a-long-library.dll"); }), tooLong("a-long-library.dll"));
  EXPECT_EQ(f.FileName(), "short.dll");
  EXPECT_EQ(f.DestName(), "short.dll");
  EXPECT_EQ(Error([&] { f.SetFileName("taken.txt"); }), "There is already a file with the name :src\\taken.txt");
  EXPECT_EQ(f.FileName(), "short.dll");
  NewFile().SetDestDir("\\a");  // files without names share no source
  NewFile().SetDestDir("\\b");
  TInstallFile& n = NewFile();
  n.SetFileName("a-long-name.txt");
  EXPECT_EQ(Error([&] { n.SetActiveX(true); }), tooLong("a-long-name.txt"));
  EXPECT_FALSE(n.ActiveX());
  EXPECT_EQ(n.FileType(), TInstallFileType::iftNormal);
  EXPECT_TRUE(Is<TpsContainerDestDir>(n.DestDirType()));
  auto* lone = new TInstallFile(root.get());
  lone->SetName("Lone");
  EXPECT_EQ(Error([&] { lone->SetFileName("x.txt"); }),
            "The following TInstallFile component Lone requires the Container property to be a component descended "
            "from the TFileContainer component");
  EXPECT_EQ(lone->FileName(), "");
}

}  // namespace
