#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "platform/byte_order.h"
#include "setup_engine/file_utils.h"
#include "setup_engine/install_cli.h"
#include "setup_engine/install_driver.h"
#include "setup_engine/net_location.h"
#include "tests/setup_engine/error_text.h"
#include "tests/setup_engine/install_fakes.h"

namespace {

using namespace setup;
using installtest::Error;
using installtest::InstallFixture;
using installtest::TRecorder;

const char* const kInvalid =
    "Invalid parameter <%s>. Valid command line parameters are: -b (Build), -d (Debug), -f (Transfer to floppies), -e "
    "(Called by self-extractor), -r (After reboot)";

std::string Invalid(const std::string& p) {
  std::string s = kInvalid;
  return s.replace(s.find("%s"), 2, p);
}

class Driver : public InstallFixture {
 protected:
  Driver() { RegisterInstallCliClasses(); }
  // Loads a driver (RunAutomatic off) with the program's parameters.
  TCustomInstall& LoadDriver(const std::vector<std::string>& parameters, const std::string& extra = "") {
    application.parameters = parameters;
    Load("  object Install1: TInstall\n    RunAutomatic = False\n    Information.ProductName = 'Demo'\n" + extra +
         "  end\n");
    return *setup::Driver();
  }
  std::string File(const std::string& name, const std::string& file, const std::string& extra = "") {
    return "  object " + name + ": TInstallFile\n    Container = Install1\n    DestDirType = psContainerDestDir\n"
           "    ArchiveFileType = psContainerArchiveFile\n    IncludeFromDir = '" + dir.Path("src") +
           "'\n    FileName = '" + file + "'\n    DestName = '" + file + "'\n" + extra + "  end\n";
  }
  // The codes the recorder heard, without the file statuses.
  static std::string Codes(const TRecorder& r) {
    std::string out;
    for (const std::string& line : r.log)
      if (line.rfind("-998", 0) != 0) out += (out.empty() ? "" : " ") + line;
    return out;
  }
};

// The program's command line: blanks outside double quotes separate, a quote toggles and
// is dropped, backslashes are plain.
TEST(InstallParametersSplit, AsTheProgramsOwnList) {
  struct Case {
    const char* line;
    std::vector<std::string> parameters;
  } cases[] = {
      {"", {}},
      {"setup.exe -r", {"setup.exe", "-r"}},
      {"\"C:\\Program Files\\setup.exe\"  -r \t \"-sC:\\My Build\\\"", {"C:\\Program Files\\setup.exe", "-r", "-sC:\\My Build\\"}},
      {"a\"b c\"d \"\" e", {"ab cd", "", "e"}},
      {"\"unclosed -r", {"unclosed -r"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitParameters(c.line), c.parameters) << c.line;
}

// Switches by their letter in either case, their value from the third character, the last
// repeat winning; -s loses a trailing backslash; anything else is refused by name.
TEST_F(Driver, CommandLineSwitches) {
  TCustomInstall& d = LoadDriver({"-S" + dir.Path("src") + "\\", "-c", "-eone.exe", "-Etwo.exe"});
  EXPECT_TRUE(d.HasSwitch('s') && d.HasSwitch('c') && d.HasSwitch('e'));
  EXPECT_FALSE(d.HasSwitch('r') || d.HasSwitch('d') || d.HasSwitch('b'));
  EXPECT_EQ(d.SwitchValue('s'), dir.Path("src"));
  EXPECT_EQ(d.SourceDir(), dir.Path("src"));
  EXPECT_EQ(d.SwitchValue('e'), "two.exe");
  EXPECT_EQ(d.SwitchValue('c'), "");

  struct Case {
    std::vector<std::string> parameters;
    std::string error;
  } cases[] = {
      {{"-x"}, Invalid("-x")},
      {{"-c", "-"}, Invalid("-")},
      {{"r"}, Invalid("r")},
      {{"-d"}, "You forgot to pass in the build directory. In Run | Parameters, follow this format: -d \"-sC:\\My "
               "Build\""},
      {{"-d", "-s "}, "You forgot to pass in the build directory. In Run | Parameters, follow this format: -d "
                      "\"-sC:\\My Build\""},
  };
  for (const Case& c : cases) {
    std::string message = Error([&] { LoadDriver(c.parameters); });
    EXPECT_NE(message.find(c.error), std::string::npos) << c.parameters.back() << ": " << message;
  }
  // Without -s the source folder is the program's.
  EXPECT_EQ(LoadDriver({}).SourceDir(), dir.Path("prog"));
}

// Run records find this program by its size and date: the same program the same record,
// another program the first free number; CleanInstallKeys removes the record and deletes
// only downloads inside the temporary folder, and the parent keys once they are empty.
TEST_F(Driver, RunRecords) {
  TCustomInstall& d = LoadDriver({"-sZ", "-esetup2.exe"});
  {
    TRegistry reg(SetupRegistry(), TRootKey::hkLocalMachine);
    ASSERT_TRUE(reg.OpenKey(std::string(kInstallRecordsKey) + "\\Install0", true));
    reg.WriteString("Path", "other.exe");
    reg.WriteFloat("CreationDate", 1.0);
    reg.WriteInteger("Size", 3);
    ASSERT_TRUE(reg.OpenKey(std::string(kInstallRecordsKey) + "\\Install2", true));
    reg.WriteString("Path", "third.exe");  // no date or size: never matches
  }
  EXPECT_EQ(d.ReadInstallKey(false), "");
  std::string key = d.ReadInstallKey(true);
  EXPECT_EQ(key, std::string(kInstallRecordsKey) + "\\Install1");
  std::string values = Values(key);
  EXPECT_NE(values.find("Path=" + application.program + "\n"), std::string::npos) << values;
  EXPECT_NE(values.find("Size=17\n"), std::string::npos) << values;
  EXPECT_NE(values.find("SelfExtract=Z\\setup2.exe\n"), std::string::npos) << values;
  EXPECT_EQ(d.ReadInstallKey(false), key);
  EXPECT_EQ(d.ReadInstallKey(true), key);
  Write("prog/setup.exe", "a longer setup program");
  EXPECT_EQ(d.ReadInstallKey(false), "");

  // Cleaning: the record's downloads inside the temporary folder go, others stay.
  SetInstallKey(key);
  Write("temp/Big.1", "downloaded");
  Write("prog/Kept.1", "not ours");
  WriteRegString(TRootKeys::hkLocalMachine, key + "\\Big", "LocalFile", dir.Path("temp/Big.1"));
  WriteRegString(TRootKeys::hkLocalMachine, key + "\\Kept", "LocalFile", dir.Path("prog/Kept.1"));
  WriteRegString(TRootKeys::hkLocalMachine, key + "\\Temp", "LocalFile", dir.Path("temp"));
  d.CleanInstallKeys();
  EXPECT_EQ(Read("temp/Big.1"), "<missing>");
  EXPECT_EQ(Read("prog/Kept.1"), "not ours");
  EXPECT_TRUE(platform::IsDirectory(dir.Path("temp")));
  EXPECT_EQ(Values(key), "<none>");
  EXPECT_NE(Values(std::string(kInstallRecordsKey) + "\\Install0"), "<none>");
  EXPECT_EQ(InstallKey(), "");
  // The last record gone, its parent keys go too.
  for (const char* n : {"Install0", "Install2"}) {
    SetInstallKey(std::string(kInstallRecordsKey) + "\\" + n);
    d.CleanInstallKeys();
  }
  EXPECT_EQ(Values(kInstallRecordsKey), "<none>");
  EXPECT_EQ(Values("\\Software\\Kestrin"), "<none>");
}

// RunOnce resumes the program with -r and its source (or self-extractor), each switch
// quoted with its value; a value holding the same command is used again, another one is
// left alone.
TEST_F(Driver, RunOnceCommands) {
  struct Case {
    std::vector<std::string> parameters;
    std::string command;
  } cases[] = {
      {{}, "\"" + application.program + "\" -r \"-s" + dir.Path("prog") + "\""},
      {{"-sC:\\My Build\\", "-c"}, "\"" + application.program + "\" -r \"-sC:\\My Build\" -c"},
      {{"-eSetup.exe", "-sC:\\Dl"}, "\"" + application.program + "\" -r \"-eSetup.exe\" \"-sC:\\Dl\""},
  };
  for (const Case& c : cases) {
    TCustomInstall& d = LoadDriver(c.parameters);
    d.RegisterRunOnce();
    EXPECT_EQ(Values(kRunOnceKey), "KestrinUnfinished=" + c.command + "\n");
    d.RegisterRunOnce();
    EXPECT_EQ(Values(kRunOnceKey), "KestrinUnfinished=" + c.command + "\n");
    DeleteRegTree(TRootKeys::hkLocalMachine, kRunOnceKey);
  }
  WriteRegString(TRootKeys::hkLocalMachine, kRunOnceKey, "KestrinUnfinished", "another setup");
  LoadDriver({}).RegisterRunOnce();
  EXPECT_EQ(Values(kRunOnceKey), "KestrinUnfinished=another setup\nKestrinUnfinished1=" + cases[0].command + "\n");
}

// After the restart (-r): kind 1 deletes a file of the temporary folder (never one
// elsewhere), kind 0 finishes the named component's server registration; each entry is
// cleared once done, a path may hold ";", a bad kind stops the run with the entry named.
TEST_F(Driver, UnfinishedEntriesAfterTheRestart) {
  platform::MakeDirectory(dir.Path("src"));
  platform::MakeDirectory(dir.Path("dest"));
  Write("dest/srv.dll", "server");
  Write("temp/move.bat", "batch");
  Write("prog/keep.bat", "not ours");
  std::string key = std::string(kInstallRecordsKey) + "\\Install0";
  auto prepare = [&](const std::vector<std::pair<std::string, std::string>>& entries) {
    WriteRegString(TRootKeys::hkLocalMachine, key, "Path", application.program);
    double date = 0;
    GetFileDateTime(application.program, date);
    TRegistry reg(SetupRegistry(), TRootKey::hkLocalMachine);
    ASSERT_TRUE(reg.OpenKey(key, true));
    reg.WriteFloat("CreationDate", date);
    reg.WriteInteger("Size", 17);
    for (const auto& [name, kind] : entries) WriteRegString(TRootKeys::hkLocalMachine, key + "\\Unfinished", name, kind);
  };
  prepare({{dir.Path("temp/move.bat"), "1"}, {dir.Path("prog/keep.bat"), "1"}, {"Srv", "0"}});
  application.parameters = {"-r"};
  Load("  object Install1: TInstall\n    RunAutomatic = False\n    DestDirType = nil\n    DestDir = '" +
       dir.Path("dest") + "'\n  end\n" + File("Srv", "srv.dll", "    ActiveX = True\n"));
  TCustomInstall& d = *setup::Driver();
  EXPECT_EQ(d.Outcome(), TCustomInstall::TOutcome::Good);
  EXPECT_EQ(Read("temp/move.bat"), "<missing>");
  EXPECT_EQ(Read("prog/keep.bat"), "not ours");
  EXPECT_EQ(processes.log, std::vector<std::string>{"register " + In(dir.Path("dest"), "srv.dll") + " in " + dir.Path("dest")});
  EXPECT_EQ(Values(key), "<none>");

  prepare({{"0;odd", "1"}, {"Srv", "zero"}});
  root.reset();
  std::string message = Error([&] {
    Load("  object Install1: TInstall\n    RunAutomatic = False\n  end\n" + File("Srv", "srv.dll"));
  });
  EXPECT_NE(message.find("There is an invalid entry for the unfinished install list Srv;zero"), std::string::npos)
      << message;
  // The entry done before the bad one is gone, the bad one stays.
  EXPECT_EQ(Values(key + "\\Unfinished"), "Srv=zero\n");
}

// The codes whole runs send to the dialogs: a good run, a run whose archive is missing, a
// run the user cancels and a run whose restart the handler declines (it still ends for
// the restart, without the good end).
TEST_F(Driver, CodeOrderOfWholeRuns) {
  platform::MakeDirectory(dir.Path("src"));
  Write("src/a.txt", "a");
  BuildArchive("prog/files.1", {"src/a.txt"});
  const std::string start = "-984 -974 -973 -983 -986 -976 -975 -982 -981 -977 -980";
  struct Case {
    const char* name;
    std::function<void(TCustomInstall&, TRecorder&)> arrange;
    TCustomInstall::TOutcome outcome;
    std::string codes;
  } cases[] = {
      {"good", [](TCustomInstall&, TRecorder&) {}, TCustomInstall::TOutcome::Good,
       start + " -990 -999 -992 -997 -996 -989 -995 -979"},
      {"missing archive", [&](TCustomInstall&, TRecorder&) { platform::RemoveFile(dir.Path("prog/files.1")); },
       TCustomInstall::TOutcome::Bad, "-984 -974 -973 -994 -978"},
      {"abort", [](TCustomInstall&, TRecorder& r) { r.throwAt = -992; }, TCustomInstall::TOutcome::Bad,
       start + " -990 -999 -992 -994 -978"},
      {"restart declined",
       [&](TCustomInstall& d, TRecorder&) {
         files.locked = {In(dir.Path("dest"), "a.txt")};
         d.OnRebootWindows = TRebootWindowsEvent([](TObject*, bool& restart) { restart = false; });
       },
       TCustomInstall::TOutcome::Restart, start + " -990 -999 -992 -997 -996 -989 -987"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetRun();
    Load("  object Install1: TInstall\n    RunAutomatic = False\n    Information.ProductName = 'Demo'\n  end\n" +
         File("A", "a.txt"));
    TCustomInstall& d = *setup::Driver();
    d.SetDestDirType(nullptr);
    d.SetDestDir(dir.Path("dest"));
    platform::MakeDirectory(dir.Path("dest"));
    Write("dest/a.txt", "old");
    auto* r = new TRecorder(root.get());
    r->SetContainer(&d);
    c.arrange(d, *r);
    try {
      d.Process();
    } catch (...) {
      d.HandleInstallException(&d, std::current_exception());
    }
    EXPECT_EQ(d.Outcome(), c.outcome);
    EXPECT_EQ(Codes(*r), c.codes);
    EXPECT_EQ(reboot.calls, 0);
    // Every run but the one that waits for the restart removes its records.
    if (c.outcome != TCustomInstall::TOutcome::Restart) {
      EXPECT_EQ(Values(kInstallRecordsKey), "<none>");
    }
    if (c.outcome == TCustomInstall::TOutcome::Bad) {
      EXPECT_EQ(Read("dest/a.txt"), "old");
    }
    files.locked.clear();
    BuildArchive("prog/files.1", {"src/a.txt"});
  }
}

// One entry of a list of remote files: size, date, and the name and version fields, which
// hold their text and its NUL only when it fits.
std::string ListEntry(int32_t size, double date, const std::string& name, const std::string& version) {
  uint8_t e[72] = {};
  platform::PutU32(e, uint32_t(size));
  uint64_t bits;
  std::memcpy(&bits, &date, sizeof bits);
  platform::PutU32(e + 4, uint32_t(bits));
  platform::PutU32(e + 8, uint32_t(bits >> 32));
  std::memcpy(e + 12, name.data(), std::min<size_t>(name.size(), 40));
  std::memcpy(e + 52, version.data(), std::min<size_t>(version.size(), 20));
  return std::string(reinterpret_cast<const char*>(e), sizeof e);
}

std::string ListCount(int32_t count) {
  uint8_t b[4];
  platform::PutU32(b, uint32_t(count));
  return std::string(reinterpret_cast<const char*>(b), sizeof b);
}

// A net install's list of remote files sets the size, date and version of the files it
// names (without case); a list that claims more entries than it holds, a negative count,
// or a name or version that fills its field without its end is refused, and the
// downloaded list is removed either way.
TEST_F(Driver, RemoteFileList) {
  // The location of the whole install keeps the library it bound to the end of the process.
  static installtest::FakeServer server;
  TInternetLibrary old = SetInternetLibrary(server.Library());
  platform::MakeDirectory(dir.Path("src"));
  Load("  object Install1: TInstall\n    RunAutomatic = False\n    DistributeType = dtWeb\n"
       "    LoginInformation.Hostname = 'files.example'\n    LoginInformation.Protocol = ipHTTP\n"
       "    LoginInformation.Directory = 'pub'\n  end\n" +
       File("Readme", "readme.txt") + File("Other", "other.txt"));
  TCustomInstall& d = *setup::Driver();
  std::string& list = server.files["/pub/filelist.lst"];
  list = ListCount(2) + ListEntry(1234, 40000.5, "README", "1.2.3") + ListEntry(7, 1.0, "Elsewhere", "");
  d.ReadRemoteFileList();
  auto* readme = Get<TCustomInstallFile>("Readme");
  EXPECT_EQ(readme->Size(), 1234);
  EXPECT_EQ(readme->FileDate(), 40000.5);
  EXPECT_EQ(readme->Version(), "1.2.3");
  EXPECT_EQ(Get<TCustomInstallFile>("Other")->Size(), 0);
  std::vector<platform::DirEntry> left;
  ASSERT_TRUE(platform::ListDirectory(folders.temp, left));
  EXPECT_TRUE(left.empty());

  struct Case {
    const char* name;
    std::string list;
  } cases[] = {
      {"short count", ListCount(0).substr(0, 3)},
      {"negative count", ListCount(-1)},
      {"more entries than bytes", ListCount(2) + ListEntry(1, 1.0, "Readme", "")},
      {"huge count", ListCount(0x7fffffff) + ListEntry(1, 1.0, "Readme", "")},
      {"unended name", ListCount(1) + ListEntry(1, 1.0, std::string(40, 'n'), "")},
      {"unended version", ListCount(1) + ListEntry(1, 1.0, "Readme", std::string(20, '9'))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    list = c.list;
    std::string message = Error([&] { d.ReadRemoteFileList(); });
    EXPECT_EQ(message.rfind("Cannot read the remote list of files: ", 0), 0u) << message;
    left.clear();
    ASSERT_TRUE(platform::ListDirectory(folders.temp, left));
    EXPECT_TRUE(left.empty());
    EXPECT_EQ(readme->Size(), 1234);
  }
  SetInternetLibrary(old);
}

// With a main form the run waits for its first show: the form's own show handler, the
// maximized form, the handler put back, then the whole run and the program's end with the
// run's exit code; a later show runs nothing. Without a main form a run that should start
// by itself is refused.
TEST_F(Driver, RunsWhenTheMainFormIsFirstShown) {
  platform::MakeDirectory(dir.Path("src"));
  Write("src/a.txt", "a");
  BuildArchive("prog/files.1", {"src/a.txt"});
  application.mainForm = true;
  Load("  object Install1: TInstall\n    DestDirType = nil\n    DestDir = '" + dir.Path("dest") + "'\n  end\n" +
       File("A", "a.txt"));
  EXPECT_EQ(application.log, std::vector<std::string>{"hook"});
  EXPECT_EQ(Read("dest/a.txt"), "<missing>");
  ASSERT_TRUE(application.onShow);
  application.onShow();
  EXPECT_EQ(application.log,
            (std::vector<std::string>{"hook", "saved show", "maximize", "restore", "terminate 0"}));
  EXPECT_EQ(Read("dest/a.txt"), "a");
  application.onShow();
  EXPECT_EQ(application.log.size(), 5u);

  root.reset();
  application.mainForm = false;
  std::string message = Error([&] { Load("  object Install1: TInstall\n  end\n"); });
  EXPECT_NE(message.find("Application.MainForm is undefined and the TInstall is not on a form. Therefore, therefore "
                         "the TInstall can't run the installation automatically"),
            std::string::npos)
      << message;
}

// The clean-up batch only for a program that runs from a folder of its own inside the
// temporary folder, with -c, with the loading program and without -d; a failed run writes
// it too.
TEST_F(Driver, CleanupBatch) {
  platform::MakeDirectory(dir.Path("temp/ldr"));
  Write("temp/ldr/setup.exe", "loaded");
  struct Case {
    std::string program;
    std::vector<std::string> parameters;
    std::string extra;
    bool batch;
  } cases[] = {
      {dir.Path("temp/ldr/setup.exe"), {"-c"}, "", true},
      {dir.Path("temp/ldr/setup.exe"), {}, "", false},
      {dir.Path("temp/ldr/setup.exe"), {"-c"}, "    UseLoadingProgram = False\n", false},
      {dir.Path("temp/ldr/setup.exe"), {"-c", "-d", "-sx"}, "", false},
      {dir.Path("prog/setup.exe"), {"-c"}, "", false},
  };
  for (const Case& c : cases) {
    application.program = c.program;
    TCustomInstall& d = LoadDriver(c.parameters, c.extra);
    d.DeleteTempDir();
    EXPECT_EQ(!d.CleanupBatch().empty(), c.batch) << c.program << " " << c.parameters.size();
    if (!c.batch) continue;
    std::string program = "\"" + c.program + "\"";
    EXPECT_EQ(Read(d.CleanupBatch().substr(dir.Dir().size() + 1)),
              ":wait\r\nERASE " + program + "\r\nIF EXIST " + program + " GOTO wait\r\nRMDIR /S /Q \"" +
                  dir.Path("temp/ldr") + "\"\r\nIF EXIST \"" + dir.Path("temp/ldr") + "\" RMDIR " +
                  folders.ShortPath(dir.Path("temp/ldr")) + "\r\nERASE \"" +
                  d.CleanupBatch().substr(0, d.CleanupBatch().size() - 4) +
                  ".PIF\"\r\nERASE \"" + d.CleanupBatch() + "\"\r\n");
    platform::RemoveFile(d.CleanupBatch());
  }
  // A run that fails (its archive is missing) cleans up as a cancelled one does.
  application.program = dir.Path("temp/ldr/setup.exe");
  application.parameters = {"-c"};
  Load("  object Install1: TInstall\n    RunAutomatic = False\n    Information.ProductName = 'Demo'\n  end\n" +
       File("A", "a.txt"));
  TCustomInstall& d = *setup::Driver();
  try {
    d.Process();
  } catch (...) {
    d.HandleInstallException(&d, std::current_exception());
  }
  EXPECT_EQ(d.Outcome(), TCustomInstall::TOutcome::Bad);
  ASSERT_FALSE(d.CleanupBatch().empty());
  EXPECT_EQ(Values(kInstallRecordsKey), "<none>");
  platform::RemoveFile(d.CleanupBatch());
}

}  // namespace
