// The setup routines against the system itself: the registry of the Wine prefix, the
// Windows version Wine reports for each program, temporary files, folders, short paths.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <string>

#include "framework/core/registry.h"
#include "framework/core/sysutils.h"
#include "framework/win/registry_win32.h"
#include "platform/process.h"
#include "setup_engine/setup_exceptions.h"
#include "setup_engine/setup_registry.h"
#include "setup_engine/setup_routines.h"
#include "setup_engine/setup_routines_win32.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_process.h"

namespace {

using namespace setup;

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(SystemRegistry, RoutinesOnTheRealRegistry) {
  const std::string key = "\\Software\\QuiltorTest" + std::to_string(GetCurrentProcessId());
  ASSERT_EQ(&SetupRegistry(), &SystemRegistry());
  WriteRegString(TRootKeys::hkCurrentUser, key + "\\Setup\\Deep", "Path", "C:\\Quiltor");
  WriteRegInteger(TRootKeys::hkCurrentUser, key + "\\Setup", "Size", 123);
  EXPECT_EQ(ReadRegString(TRootKeys::hkCurrentUser, key + "\\Setup\\Deep", "Path", ""), "C:\\Quiltor");
  EXPECT_EQ(ReadRegInteger(TRootKeys::hkCurrentUser, key + "\\Setup", "Size", 0), 123);
  EXPECT_EQ(ReadRegInteger(TRootKeys::hkCurrentUser, key + "\\Setup", "Missing", 7), 7);
  EXPECT_EQ(ReadRegString(TRootKeys::hkCurrentUser, key + "\\Setup", "Size", "d"), "d");
  EXPECT_EQ(ReadRegString(TRootKeys::hkLocalMachine, key + "\\Setup\\Deep", "Path", "none"), "none");
  DeleteRegTree(TRootKeys::hkCurrentUser, key);
  EXPECT_EQ(ReadRegString(TRootKeys::hkCurrentUser, key + "\\Setup\\Deep", "Path", "gone"), "gone");
  TRegistry reg(SystemRegistry(), TRootKey::hkCurrentUser);
  EXPECT_FALSE(reg.KeyExists(key));
  // A key the registry cannot hold (a name longer than 255 characters): the write errors
  // name what was written.
  const std::string tooLong = key + "\\" + std::string(300, 'k');
  try {
    WriteRegString(TRootKeys::hkCurrentUser, tooLong, "Name", "x");
    ADD_FAILURE() << "no exception";
  } catch (const EIRCannotWriteValue& e) {
    EXPECT_EQ(e.Message(), "Cannot install into registry. Key: " + tooLong + " Ident: Name Value x");
  }
  try {
    WriteRegInteger(TRootKeys::hkCurrentUser, tooLong, "Name", 1);
    ADD_FAILURE() << "no exception";
  } catch (const EIRCannotWriteValue& e) {
    EXPECT_EQ(e.Message(), tooLong);
  }
  DeleteRegTree(TRootKeys::hkCurrentUser, key);
}

TEST(SystemRegistry, RunOnceAtTheFirstFreeName) {
  const std::string name = "QuiltorTest" + std::to_string(GetCurrentProcessId());
  for (const char* data : {"one", "two", "three", "four"}) ASSERT_TRUE(SetRunOnceValue(name, data, true));
  EXPECT_EQ(ReadRegString(TRootKeys::hkLocalMachine, kRunOnceKey, name + "3", ""), "four");
  ASSERT_TRUE(SetRunOnceValue(name, "again", false));
  EXPECT_EQ(ReadRegString(TRootKeys::hkLocalMachine, kRunOnceKey, name, ""), "again");
  TRegistry reg(SystemRegistry(), TRootKey::hkLocalMachine);
  ASSERT_TRUE(reg.OpenKey(kRunOnceKey, false));
  for (const char* suffix : {"", "1", "2", "3"}) EXPECT_TRUE(reg.DeleteValue(name + suffix));
}

// Wine reports the Windows version configured for a program's file name.
TEST(SystemVersion, PlatformOfEachWindowsVersion) {
  testsupport::ScratchDir dir("qtver");
  std::string probe = testsupport::BesideThisProgram("platform_probe");
  struct Case {
    const char* version;
    uint32_t platform;
  } cases[] = {{"win31", 0}, {"win95", 1}, {"win98", 1}, {"nt351", 3},
               {"nt40", 2},  {"winxp", 2}, {"win10", 2}};
  TRegistry reg(SystemRegistry(), TRootKey::hkCurrentUser);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    std::string exe = "qprobe_" + std::string(c.version) + ".exe";
    ASSERT_TRUE(CopyFileA(probe.c_str(), dir.Path(exe).c_str(), FALSE));
    std::string key = "\\Software\\Wine\\AppDefaults\\" + exe;
    ASSERT_TRUE(reg.OpenKey(key, true));
    reg.WriteString("Version", c.version);
    reg.CloseKey();
    uint32_t code = 0;
    ASSERT_TRUE(platform::RunProcess(platform::QuoteArgument(dir.Path(exe)), false, code));
    EXPECT_EQ(code, c.platform);
    reg.DeleteKey(key);
  }
  EXPECT_EQ(GetWindowsPlatform(), 2);  // this program: the prefix's own version
}

TEST(SystemFiles, TemporaryFilesFoldersAndShortPaths) {
  std::string gone = GetTempFile(false);
  std::string kept = GetTempFile(true);
  EXPECT_FALSE(Exists(gone));
  EXPECT_TRUE(Exists(kept));
  char temp[MAX_PATH + 1];
  GetTempPathA(MAX_PATH, temp);
  EXPECT_EQ(kept.rfind(std::string(temp) + "bat", 0), 0u) << kept;
  DeleteFileA(kept.c_str());

  for (const std::string& dir : {GetSystemDir(), GetWindowsDir()}) {
    EXPECT_TRUE(Exists(dir)) << dir;
    EXPECT_NE(dir.back(), '\\') << dir;
  }
  EXPECT_EQ(GetSystemDir().rfind(GetWindowsDir(), 0), 0u);

  testsupport::ScratchDir dir("qtshort");
  std::string longName = dir.Path("A rather long file name.text");
  std::ofstream(longName) << "x";
  std::string shortName = ShortPath(longName);
  EXPECT_NE(shortName, longName);
  EXPECT_EQ(ExtractFileName(shortName).find(' '), std::string::npos) << shortName;
  EXPECT_TRUE(Exists(shortName));
  std::string missing = dir.Path("no such file with a long name.text");
  EXPECT_EQ(ShortPath(missing), missing);
  std::string veryLong = "C:\\" + std::string(450, 'x');
  EXPECT_EQ(ShortPath(veryLong), veryLong);
}

}  // namespace
