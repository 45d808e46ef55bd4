#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "setup_engine/install_cli.h"
#include "setup_engine/install_driver.h"
#include "tests/setup_engine/error_text.h"
#include "tests/setup_engine/install_fakes.h"

namespace {

using namespace setup;
using installtest::Error;
using installtest::InstallFixture;
using installtest::TRecorder;

class InstallFiles : public InstallFixture {
 protected:
  InstallFiles() {
    RegisterInstallCliClasses();
    platform::MakeDirectory(dir.Path("src"));
  }
  std::string Driver() {
    return "  object Install1: TInstall\n    RunAutomatic = False\n    Information.ProductName = 'Demo'\n  end\n";
  }
  std::string File(const std::string& name, const std::string& file, const std::string& extra = "",
                    const std::string& container = "Install1") {
    return "  object " + name + ": TInstallFile\n    Container = " + container +
           "\n    DestDirType = psContainerDestDir\n    ArchiveFileType = psContainerArchiveFile\n"
           "    IncludeFromDir = '" + dir.Path("src") + "'\n    FileName = '" + file + "'\n    DestName = '" + file +
           "'\n" + extra + "  end\n";
  }
  // Loads the definition and installs into dir/dest from dir/prog/files.1.
  TCustomInstall& LoadInto(const std::string& body, const std::string& dest = "dest") {
    Load(body);
    TCustomInstall& d = *setup::Driver();
    d.SetDestDirType(nullptr);
    d.SetDestDir(dir.Path(dest));
    return d;
  }
  std::string Uninstall(const char* kind) { return Values(std::string(kUninstallKey) + "Demo\\" + kind); }
};

// A file in use is extracted beside it under the first free ".n" name and moved in place at
// the restart: through WININIT.INI (short paths on both sides) on the Windows 95 family,
// a delayed move on NT, and when that fails a batch that RunOnce starts, with quoted paths.
// The file keeps its DestName for help, the shared-DLL count and the uninstall record.
TEST_F(InstallFiles, FileInUseIsReplacedAtTheRestart) {
  Write("src/FOO.DLL", "new library");
  BuildArchive("prog/files.1", {"src/FOO.DLL"});
  struct Case {
    uint32_t platform;
    bool moveWorks;
    const char* dest;
  } cases[] = {{1, true, "d95"}, {2, true, "dnt"}, {2, false, "dbatch"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dest);
    TMemRegistry fresh;
    IRegistryBackend* old = SetSetupRegistry(&fresh);
    platformId = c.platform;
    moves.moveWorks = c.moveWorks;
    moves.log.clear();
    ResetRun();
    platform::MakeDirectory(dir.Path(c.dest));
    std::string dest = dir.Path(c.dest);
    Write(std::string(c.dest) + "/FOO.DLL", "old library");
    Write(std::string(c.dest) + "/FOO.1", "something else");
    files.locked = {In(dest, "FOO.DLL")};
    TCustomInstall& d =
        LoadInto(Driver() + File("Lib", "FOO.DLL", "    RegisterAsHelp = True\n    UpdateDLLCounter = True\n"), c.dest);
    d.Process();
    EXPECT_EQ(d.Outcome(), TCustomInstall::TOutcome::Restart);
    EXPECT_TRUE(RebootNeeded());
    EXPECT_EQ(Read(std::string(c.dest) + "/FOO.DLL"), "old library");
    EXPECT_EQ(Read(std::string(c.dest) + "/FOO.2"), "new library");
    EXPECT_EQ(Get<TCustomInstallFile>("Lib")->ExtractName(), "FOO.2");
    std::string key = InstallKey();
    EXPECT_EQ(key, "\\SOFTWARE\\Kestrin\\Install\\Install0");
    std::string unfinished = Values(key + "\\Unfinished");
    if (c.platform == 1) {
      EXPECT_EQ(moves.log, std::vector<std::string>{"wininit " + In(dest, "SHORT~FOO.DLL") + " = " + In(dest, "SHORT~FOO.2")});
      EXPECT_EQ(unfinished, "Lib=0\n");
    } else if (c.moveWorks) {
      EXPECT_EQ(moves.log, std::vector<std::string>{"move " + In(dest, "FOO.2") + " > " + In(dest, "FOO.DLL")});
      EXPECT_EQ(unfinished, "Lib=0\n");
    } else {
      std::string batch = unfinished.substr(0, unfinished.find('='));
      EXPECT_EQ(unfinished, batch + "=1\nLib=0\n");
      EXPECT_TRUE(platform::PathWithin(batch, folders.temp));
      EXPECT_EQ(Read(batch.substr(dir.Dir().size() + 1)),
                "erase \"" + In(dest, "SHORT~FOO.DLL") + "\"\r\nmove \"" + In(dest, "FOO.2") + "\" \"" + In(dest, "SHORT~FOO.DLL") + "\"\r\n");
      EXPECT_EQ(Values(kRunOnceKey).substr(0, Values(kRunOnceKey).find('\n')), "KestrinBatFile=\"" + batch + "\"");
      platform::RemoveFile(batch);
    }
    EXPECT_NE(Values(kRunOnceKey).find("KestrinUnfinished=\"" + application.program + "\" -r \"-s" + dir.Path("prog") +
                                       "\""),
              std::string::npos);
    EXPECT_EQ(Values("\\SOFTWARE\\Microsoft\\Windows\\Help"), "FOO.DLL=" + dest + "\n");
    EXPECT_EQ(Values("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"), In(dest, "FOO.DLL") + "=1\n");
    EXPECT_EQ(Uninstall("Files"), "File1=" + dest + "\\FOO.DLL\nEntries=1\n");
    EXPECT_EQ(reboot.calls, 1);
    reboot.calls = 0;
    root.reset();
    SetSetupRegistry(old);
  }
}

// The overwrite decision only ever keeps an existing file: a missing destination is
// installed whatever the mode, a read-only one is made writable and replaced, and a kept
// file is counted and registered but never recorded for the uninstaller.
TEST_F(InstallFiles, DestinationsAndTheirRecords) {
  Write("src/a.txt", "new a");
  Write("src/b.txt", "new b");
  Write("src/c.txt", "new c");
  BuildArchive("prog/files.1", {"src/a.txt", "src/b.txt", "src/c.txt"});
  platform::MakeDirectory(dir.Path("dest"));
  Write("dest/b.txt", "old b");
  testsupport::SetReadOnly(dir.Path("dest/b.txt"), true);
  Write("dest/c.txt", "old c");
  TCustomInstall& d = LoadInto(Driver() + File("A", "a.txt", "    OverwriteMode = owVersion\n") + File("B", "b.txt") +
                               File("C", "c.txt", "    OverwriteMode = owNever\n    RegisterAsHelp = True\n"));
  auto* recorder = new TRecorder(root.get());
  recorder->SetContainer(&d);
  d.Process();
  EXPECT_EQ(d.Outcome(), TCustomInstall::TOutcome::Good);
  EXPECT_EQ(Read("dest/a.txt"), "new a");
  EXPECT_EQ(Read("dest/b.txt"), "new b");
  EXPECT_EQ(Read("dest/c.txt"), "old c");
  EXPECT_EQ(Uninstall("Files"), "File1=" + dir.Path("dest") + "\\a.txt\nEntries=2\nFile2=" + dir.Path("dest") +
                                    "\\b.txt\n");
  EXPECT_EQ(Values("\\SOFTWARE\\Microsoft\\Windows\\Help"), "C.TXT=" + dir.Path("dest") + "\n");
  // The kept file's bytes count toward the total as the copied ones do.
  std::vector<std::string> progress;
  for (const std::string& line : recorder->log)
    if (line.rfind("-998", 0) == 0) progress.push_back(line.substr(line.rfind(' ') + 1));
  EXPECT_EQ(progress.back(), "100");
  EXPECT_EQ(Values(kInstallRecordsKey), "<none>");
}

// A dialog that presses the copy dialog's Cancel at the first status of one file.
class TCancelIn : public TRecorder {
 public:
  explicit TCancelIn(TComponent* owner) : TRecorder(owner) {}
  std::string file;
  void DoInformationEvent(TObject* sender, int code, TObject* parameter) override {
    TRecorder::DoInformationEvent(sender, code, parameter);
    auto* status = dynamic_cast<TFileStatusParameter*>(parameter);
    if (code == icFileStatus && status && status->FileName == file) {
      file.clear();
      RequestCopyCancel();
    }
  }

 protected:
  ~TCancelIn() override = default;
};

// A run cancelled in the middle of a file of a group's own archive: the file before it
// stays installed and recorded, one its handler cancelled (1015) is neither written nor
// recorded, the cancelled file and the one after it stay as they were, and nothing else
// is left in the folder.
TEST_F(InstallFiles, ACancelledRunRecordsOnlyWhatItWrote) {
  Write("src/a.txt", "new a");
  Write("src/b.txt", "new b");
  std::string big;
  for (uint32_t i = 0, x = 1; i < 200000; ++i) big += char((x = x * 1103515245u + 12345u) >> 24);
  Write("src/c.bin", big);
  Write("src/d.txt", "new d");
  BuildArchive("prog/files.1", {"src/a.txt", "src/b.txt"});
  BuildArchive("prog/group.1", {"src/c.bin", "src/d.txt"});
  platform::MakeDirectory(dir.Path("dest"));
  Write("dest/c.bin", "old c");
  Write("dest/d.txt", "old d");
  TCustomInstall& d = LoadInto(Driver() + File("A", "a.txt") + File("B", "b.txt") +
                               "  object G: TInstallFileGroup\n    Container = Install1\n"
                               "    DestDirType = psContainerDestDir\n    ArchiveFileType = psInstallSource\n"
                               "    ArchiveFile = '\\group.1'\n  end\n" +
                               File("C", "c.bin", "", "G") + File("D", "d.txt", "", "G"));
  Get<TCustomInstallFile>("B")->OnBeforeInstall = TNotifyEvent([](TObject*) { throw EAbort(); });
  auto* cancel = new TCancelIn(root.get());
  cancel->file = "c.bin";
  cancel->SetContainer(&d);
  try {
    d.Process();
  } catch (...) {
    d.HandleInstallException(&d, std::current_exception());
  }
  EXPECT_EQ(d.Outcome(), TCustomInstall::TOutcome::Bad);
  EXPECT_TRUE(cancel->file.empty()) << "the cancel was never pressed";
  EXPECT_EQ(Read("dest/a.txt"), "new a");
  EXPECT_EQ(Read("dest/b.txt"), "<missing>");
  EXPECT_EQ(Read("dest/c.bin"), "old c");
  EXPECT_EQ(Read("dest/d.txt"), "old d");
  std::vector<platform::DirEntry> left;
  ASSERT_TRUE(platform::ListDirectory(dir.Path("dest"), left));
  EXPECT_EQ(left.size(), 3u);
  EXPECT_EQ(Uninstall("Files"), "File1=" + dir.Path("dest") + "\\a.txt\nEntries=1\n");
  EXPECT_EQ(Values(kInstallRecordsKey), "<none>");
}

// Servers register in their own folder: a program by /REGSERVER (awaited; an exit code
// other than 0 fails), a library by DllRegisterServer. A failure during the run is tried
// once more after the tree, and when that fails too the run ends bad with the reason.
TEST_F(InstallFiles, ServerRegistration) {
  Write("src/srv.exe", "program");
  Write("src/srv.dll", "library");
  BuildArchive("prog/files.1", {"src/srv.exe", "src/srv.dll"});
  std::string dest = dir.Path("dest");
  struct Case {
    const char* name;
    setup::TRunResult run;
    setup::TDllRegistration dll;
    std::string error;
  } cases[] = {
      {"registered", {true, true, 0, 0}, {TDllRegistration::Registered, 0, 0}, ""},
      {"exit code", {true, true, 3, 0}, {TDllRegistration::Registered, 0, 0},
       "because its /REGSERVER run returned a value of 3. The file component is Exe"},
      {"no end", {true, false, 0, 0}, {TDllRegistration::Registered, 0, 0}, "because it did not end within"},
      {"no start", {false, false, 0, 2}, {TDllRegistration::Registered, 0, 0},
       "because it could not be started. The file component is Exe. The following value is the value of the "
       "GetLastError function: 2"},
      {"no library", {true, true, 0, 0}, {TDllRegistration::NoLibrary, 126, 0},
       "because the LoadLibrary(" + In(dest, "srv.dll") + ") procedure returned a value of 0. The file component is Dll. "
       "The following value is the value of the GetLastError function: 126"},
      {"no entry", {true, true, 0, 0}, {TDllRegistration::NoEntryPoint, 127, 0},
       "because the DllRegisterServer function could not be found. The file component is Dll"},
      {"failed", {true, true, 0, 0}, {TDllRegistration::Failed, 0, -5},
       "because the DllRegisterServer function returned a value of -5. The file component is Dll"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetRun();
    processes.runResult = c.run;
    processes.dllResult = c.dll;
    processes.log.clear();
    prompts.log.clear();
    TCustomInstall& d = LoadInto(Driver() + File("Exe", "srv.exe", "    ActiveX = True\n") +
                                 File("Dll", "srv.dll", "    ActiveX = True\n"));
    try {
      d.Process();
    } catch (...) {
      d.HandleInstallException(&d, std::current_exception());
    }
    std::string exe = "run \"" + In(dest, "srv.exe") + "\" /REGSERVER in " + dest;
    std::string dll = "register " + In(dest, "srv.dll") + " in " + dest;
    if (c.error.empty()) {
      EXPECT_EQ(d.Outcome(), TCustomInstall::TOutcome::Good);
      EXPECT_EQ(processes.log, (std::vector<std::string>{exe, dll}));
      EXPECT_EQ(Uninstall("ActiveX"), "File1=" + dest + "\\srv.exe;1\nEntries=2\nFile2=" + dest + "\\srv.dll;0\n");
      continue;
    }
    EXPECT_EQ(d.Outcome(), TCustomInstall::TOutcome::Bad);
    ASSERT_EQ(prompts.log.size(), 1u);
    EXPECT_NE(prompts.log[0].find(c.error), std::string::npos) << prompts.log[0];
    // The failing one was tried again after the tree.
    std::string again = c.dll.Result == TDllRegistration::Registered ? exe : dll;
    EXPECT_EQ(std::count(processes.log.begin(), processes.log.end(), again), 2);
  }
}

// A destination name is one file in the destination folder, or the definition is refused.
TEST_F(InstallFiles, DestNameIsAPlainFileName) {
  for (const char* name : {"a\\b.txt", "sub/b.txt", "C:b.txt", "..", ".", " "}) {
    std::string body = Driver() + File("F", "x.txt");
    std::string from = "DestName = 'x.txt'";
    body.replace(body.find(from), from.size(), std::string("DestName = '") + name + "'");
    std::string message = Error([&] { Load(body); });
    EXPECT_NE(message.find("is not a plain file name"), std::string::npos) << name << ": " << message;
    EXPECT_NE(message.find("test.form("), std::string::npos) << message;
  }
  std::string body = Driver() + File("F", "x.txt");
  body.erase(body.find("    DestName = 'x.txt'\n"), 23);
  std::string message = Error([&] { Load(body); });
  EXPECT_NE(message.find("The destination name <> of F is not a plain file name"), std::string::npos) << message;
}

// A file whose install the test scripts: its status reports and its end.
class TScriptedFile : public TInstallFile {
 public:
  explicit TScriptedFile(TComponent* owner) : TInstallFile(owner) {}
  std::function<void(TScriptedFile&)> Script;
  void ReadInfoFromArchive() override {}
  void DoProcess() override { Script(*this); }
  void Report(int32_t done, bool finished) {
    TlzhFileStats stats;
    stats.bytesDone = done;
    stats.uncompressedSize = Size();
    stats.finished = finished;
    TFileStatusParameter status(stats);
    status.FileName = FileName();
    TParameterList list(this, &status);
    InformContainer(ccInstallStatus, &list);
  }

 protected:
  ~TScriptedFile() override = default;
};

// Each container relays its files' progress as a running total of its own: a finished
// file's size joins it, a kept one counts whole, the overall percent is of the container's
// total (0 when that is 0), and every code goes on up to the driver, which relays again.
TEST_F(InstallFiles, ProgressRelayArithmetic) {
  Load(Driver() + "  object G: TInstallFileGroup\n    Container = Install1\n  end\n");
  TCustomInstall& d = *setup::Driver();
  auto* group = Get<TInstallFileGroup>("G");
  auto* top = new TRecorder(root.get());
  top->SetContainer(&d);
  auto* inner = new TRecorder(root.get());
  inner->SetContainer(group);
  auto makeFile = [&](const char* name, TInstallContainer* container, int32_t size) {
    auto* f = new TScriptedFile(root.get());
    f->SetName(name);
    f->SetContainer(container);  // a file's names are checked inside its container
    f->SetFileName(std::string(name) + ".dat");
    f->SetArchiveEntry(size, 0, size, "");
    return f;
  };
  TScriptedFile* a = makeFile("A", group, 100);
  TScriptedFile* b = makeFile("B", group, 300);
  TScriptedFile* c = makeFile("C", &d, 600);
  a->Script = [](TScriptedFile& f) {
    f.Report(50, false);
    f.Report(100, true);
  };
  b->Script = [](TScriptedFile& f) { f.InformContainer(ccFileKept, &f); };
  c->Script = [](TScriptedFile& f) { f.Report(300, false); };
  TFileContainer* g = group;
  g->TFileContainer::DoProcess();
  // Not busy: the group only passes the codes on.
  a->Report(100, true);
  auto statuses = [](const TRecorder& r) {
    std::vector<std::string> out;
    for (const std::string& line : r.log)
      if (line.rfind("-998", 0) == 0) out.push_back(line.substr(5));
    return out;
  };
  EXPECT_EQ(statuses(*inner), (std::vector<std::string>{"A.dat 50 13", "A.dat 100 25", "B.dat 400 100"}));
  // The driver was not busy either, so it relays nothing; inside a run it relays against
  // its own total.
  EXPECT_EQ(statuses(*top), std::vector<std::string>{});
  top->log.clear();
  static_cast<TFileContainer&>(d).TFileContainer::DoProcess();
  EXPECT_EQ(statuses(*top),
            (std::vector<std::string>{"A.dat 50 5", "A.dat 100 10", "B.dat 400 40", "C.dat 700 70"}));

  // A container whose files have no size shows 0 %.
  a->SetArchiveEntry(0, 0, 0, "");
  b->SetArchiveEntry(0, 0, 0, "");
  inner->log.clear();
  g->TFileContainer::DoProcess();
  EXPECT_EQ(statuses(*inner), (std::vector<std::string>{"A.dat 50 0", "A.dat 100 0", "B.dat 0 0"}));

  // Codes with what they may not carry.
  a->Script = [](TScriptedFile& f) { f.InformContainer(ccInstallStatus, nullptr); };
  EXPECT_EQ(Error([&] { g->TFileContainer::DoProcess(); }), "G got a nil PO parameter");
  a->Script = [](TScriptedFile& f) {
    TParameterList list(&f, &f);
    f.InformContainer(ccInstallStatus, &list);
  };
  EXPECT_EQ(Error([&] { g->TFileContainer::DoProcess(); }), "DoInformationEventControl says bad second parameter");
  a->Script = [](TScriptedFile& f) {
    TDiskParameter disk(2, "x");
    TParameterList list(&disk, &disk);
    f.InformContainer(ccNextDisk, &list);
  };
  EXPECT_EQ(Error([&] { g->TFileContainer::DoProcess(); }), "DoInformationEventControl says bad 1 parameter");
  a->Script = [](TScriptedFile& f) { f.InformContainer(ccDownloadStatus, &f); };
  EXPECT_EQ(Error([&] { g->TFileContainer::DoProcess(); }),
            "The PO object passed to G is not a TDownloadStatusParameter object");
  EXPECT_FALSE(group->Busy());
}

}  // namespace
