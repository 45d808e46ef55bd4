#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "framework/core/data_module.h"
#include "framework/core/form_reader.h"
#include "setup_engine/install_object.h"
#include "setup_engine/install_folders.h"
#include "setup_engine/setup_core_cli.h"
#include "setup_engine/tree_probe.h"
#include "tests/support/scratch_dir.h"

namespace {

using namespace setup;
using IT = TInstallType;

// A probe that goes first among its siblings whatever its kind.
class TInstallBDE : public TTreeProbe {
  FW_CLASS(TInstallBDE, TTreeProbe)
 public:
  using TTreeProbe::TTreeProbe;
};
const TClassInfo& TInstallBDE::StaticClass() {
  static const TClassInfo info{"TInstallBDE", &TTreeProbe::StaticClass(), Factory<TInstallBDE>(), {}};
  return info;
}

// Probes made in code, owned by one data module; the trace collects what they report.
class InstallTree : public ::testing::Test {
 protected:
  TTreeProbe* Probe(const std::string& name, int kind, TInstallContainer* container = nullptr,
                    int order = -1) {
    auto* p = new TTreeProbe(root.get());
    Setup(*p, name, kind, container, order);
    return p;
  }
  void Setup(TTreeProbe& p, const std::string& name, int kind, TInstallContainer* container, int order) {
    p.SetName(name);
    p.SetKind(kind);
    p.SetOrder(order);
    p.Trace = [this](const std::string& s) { trace.push_back(s); };
    p.OnBeforeProcess = TInstallContainerNotifyEvent([this, &p](TObject*) { trace.push_back("before " + p.Name()); });
    p.OnProcessIncluded = TInstallContainerNotifyEvent([this, &p](TObject*) { trace.push_back("included " + p.Name()); });
    p.OnAfterProcess = TInstallContainerNotifyEvent([this, &p](TObject*) { trace.push_back("after " + p.Name()); });
    if (container) p.SetContainer(container);
  }
  // "name:order" of each child.
  static std::string Children(const TInstallContainer& c) {
    std::string out;
    for (TInstallObject* child : c.Children()) out += (out.empty() ? "" : " ") + child->Name() + ":" + std::to_string(child->Order());
    return out;
  }
  TOwned<TDataModule> root{new TDataModule(nullptr)};
  std::vector<std::string> trace;
};

TEST_F(InstallTree, ChildrenByKindAndOrder) {
  struct Step {
    const char* name;
    int kind, order;
    bool loading;  // the parent is loading while this child joins
  };
  struct Case {
    const char* what;
    std::vector<Step> steps;
    const char* children;
  } cases[] = {
      {"kinds ascending", {{"D", 9000, 0, false}, {"F", 2000, 0, false}, {"C", 1000, 0, false}, {"R", 8500, 5, false}},
       "C:0 F:0 R:0 D:0"},
      {"equal Order goes first", {{"A", 2000, 3, true}, {"B", 2000, 3, true}, {"N", 2000, 3, false}}, "N:0 B:1 A:2"},
      {"-1 goes to the end of the list", {{"F1", 2000, 0, false}, {"D", 9000, 0, false}, {"F2", 2000, -1, false}},
       "F1:0 D:0 F2:0"},
      {"Order within the kind", {{"A", 2000, 0, false}, {"B", 2000, 1, false}, {"C", 2000, 1, false}},
       "A:0 C:1 B:2"},
      {"loading keeps the Orders", {{"A", 2000, 5, true}, {"B", 2000, 2, true}, {"D", 9000, 7, true}},
       "B:2 A:5 D:7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    root.reset(new TDataModule(nullptr));
    TTreeProbe* parent = Probe("Install", 1000);
    for (const Step& s : c.steps) {
      if (s.loading) parent->SetLoading();
      Probe(s.name, s.kind, parent, s.order);
      if (s.loading) parent->Loaded();
    }
    EXPECT_EQ(Children(*parent), c.children);
  }
}

TEST_F(InstallTree, SpecialClassReinsertionAndErrors) {
  TTreeProbe* install = Probe("Install", 1000);
  Probe("F", 2000, install, 0);
  Probe("G", 2000, install, 1);
  auto* h = Probe("H", 2000, install, 2);
  EXPECT_EQ(Children(*install), "F:0 G:1 H:2");
  h->SetOrder(0);
  EXPECT_EQ(Children(*install), "H:0 F:1 G:2");
  h->SetOrder(9);
  EXPECT_EQ(Children(*install), "F:0 G:1 H:2");
  install->AddObject(h);  // already there: it moves, it does not appear twice
  EXPECT_EQ(install->ChildCount(), 3);
  auto* bde = new TInstallBDE(root.get());
  Setup(*bde, "Bde", 8000, install, 4);
  EXPECT_EQ(Children(*install), "Bde:0 F:0 G:1 H:2");

  auto message = [](const std::function<void()>& f) {
    try {
      f();
    } catch (const IEInstallContainer& e) {
      return e.Message();
    }
    return std::string("no exception");
  };
  EXPECT_EQ(message([&] { install->AddObject(nullptr); }), "Cannot add a blank base helper component to Install");
  TTreeProbe* sub = Probe("Sub", 1000, install);
  TTreeProbe* leaf = Probe("Leaf", 2000, sub);
  EXPECT_EQ(message([&] { install->SetContainer(install); }), "Circular reference");
  EXPECT_EQ(message([&] { install->SetContainer(leaf); }), "Circular reference");
  EXPECT_EQ(install->Container(), nullptr);
  EXPECT_EQ(leaf->Container(), sub);
  TTreeProbe* kindless = Probe("Kindless", 0);
  EXPECT_EQ(message([&] { kindless->SetContainer(install); }), "Class must declare a registered type");
  EXPECT_EQ(message([&] { install->Child(9); }),
            "Tried to reference a helper component in the following component: Install. The following index was used: 9");
  EXPECT_EQ(install->CountOfKind(2000), 3);
  EXPECT_EQ(install->ChildOfKind(1, 2000)->Name(), "G");
  EXPECT_EQ(install->FileContainerCount(), 1);
  EXPECT_EQ(install->FileContainers(0), sub);
  EXPECT_EQ(message([&] { install->ChildOfKind(3, 2000); }),
            "Bad call to the Comp procedure which returns a TInstallObject for a TInstallContainer component. "
            "The parameters are probably reversed. Index: 3, ComponentType: 2000");
  install->FreeChildrenOfKind(2000);
  EXPECT_EQ(Children(*install), "Bde:0 Sub:0");  // Sub came without an Order: last
  EXPECT_EQ(root->FindComponent("F"), nullptr);
}

TEST_F(InstallTree, InstallTypesAndInclusion) {
  constexpr auto B = InstallTypeBit;
  const TInstallTypeSet always = B(IT::itAlways);
  struct SetCase {
    TInstallTypeSet old, set, result;
  } sets[] = {
      {always, 0, always},
      {always, B(IT::itFull), B(IT::itFull)},
      {always, always | B(IT::itFull), B(IT::itFull)},
      {B(IT::itFull), B(IT::itFull) | always, always},
      {B(IT::itFull), B(IT::itCompact) | B(IT::itDefault), B(IT::itCompact) | B(IT::itDefault)},
      {always, always, always},
  };
  TTreeProbe* p = Probe("P", 2000);
  for (const SetCase& c : sets) {
    p->SetInstallTypes(c.old);
    ASSERT_EQ(p->InstallTypes(), c.old);
    p->SetInstallTypes(c.set);
    EXPECT_EQ(p->InstallTypes(), c.result) << c.old << " " << c.set;
  }
  struct IncludeCase {
    bool include;
    TInstallTypeSet types;
    IT current;
    bool included;
  } includes[] = {
      {true, always, IT::itFull, true},          {true, B(IT::itFull), IT::itFull, true},
      {true, B(IT::itFull), IT::itCompact, false}, {true, B(IT::itFull), IT::itAlways, true},
      {true, B(IT::itFull), IT::itCustom, true},   {false, always, IT::itAlways, false},
      {false, B(IT::itFull), IT::itCustom, false}, {true, B(IT::itDefault) | B(IT::itCompact), IT::itCompact, true},
  };
  TTreeProbe* child = Probe("Child", 2000, p);
  for (const IncludeCase& c : includes) {
    p->SetInclude(c.include);
    p->SetInstallTypes(always);
    p->SetInstallTypes(c.types);
    p->SetCurrentInstallType(c.current);
    EXPECT_EQ(p->IsIncluded(), c.included) << c.include << " " << c.types << " " << int(c.current);
    EXPECT_EQ(child->CurrentInstallType(), c.current);
  }
}

// Every step of Process, and the broadcasts its dialog children get.
TEST_F(InstallTree, ProcessSteps) {
  TTreeProbe* install = Probe("Install", 1000);
  Probe("Dlg", 9000, install);
  TTreeProbe* file = Probe("File", 2000, install, 0);
  TTreeProbe* fileDlg = Probe("FileDlg", 9000, file);
  TTreeProbe* typed = Probe("Typed", 2000, install, 5);
  typed->SetInstallTypes(InstallTypeBit(IT::itFull));
  TTreeProbe* off = Probe("Off", 2000, install, 6);
  off->SetInclude(false);
  install->SetCurrentInstallType(IT::itCompact);
  install->Process();
  EXPECT_EQ(trace, std::vector<std::string>({
                       "before Install", "Dlg got -990", "included Install", "Dlg got -999", "process Install",
                       "before File", "FileDlg got -990", "included File", "FileDlg got -999", "process File",
                       "after File", "FileDlg got -989",
                       "before Typed", "included Typed",  // excluded by type: after -999
                       "before Off",                      // Include false: after -990
                       "after Install", "Dlg got -989"}));
  EXPECT_TRUE(install->Processed());
  EXPECT_TRUE(file->Processed());
  EXPECT_FALSE(typed->Processed());
  EXPECT_FALSE(off->Processed());
  EXPECT_FALSE(fileDlg->Processed());  // dialogs are reached by broadcasts only

  trace.clear();
  install->ShowStatusMessage("Reading file information...");
  install->CloseStatusMessage();
  file->BroadcastInformation(file, icBadInstall, nullptr);
  typed->BroadcastInformation(typed, icBadInstall, nullptr);  // no dialog children: nothing
  EXPECT_EQ(trace, std::vector<std::string>({"Dlg got -974", "Dlg got -973", "FileDlg got -994"}));
}

// An EAbort at any step ends that object's processing and nothing else; another exception
// goes to the caller.
TEST_F(InstallTree, AbortAtEachStep) {
  struct Case {
    const char* step;
    std::vector<std::string> trace;
  } cases[] = {
      {"before", {"before A", "before B", "included B", "process B", "after B"}},
      {"included", {"before A", "included A", "before B", "included B", "process B", "after B"}},
      {"process", {"before A", "included A", "process A", "before B", "included B", "process B", "after B"}},
      {"after", {"before A", "included A", "process A", "after A", "before B", "included B", "process B", "after B"}},
      {"-990", {"before A", "before B", "included B", "process B", "after B"}},
      {"-989", {"before A", "included A", "process A", "after A", "before B", "included B", "process B", "after B"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.step);
    root.reset(new TDataModule(nullptr));
    trace.clear();
    TTreeProbe* install = Probe("Install", 1000);
    TTreeProbe* a = Probe("A", 2000, install, 0);
    Probe("B", 2000, install, 1);
    std::string step = c.step;
    auto abortAt = [&](TInstallContainerNotifyEvent& slot, const char* name) {
      TInstallContainerNotifyEvent logged = slot;
      slot = TInstallContainerNotifyEvent([logged, name, step](TObject* s) {
        logged(s);
        if (step == name) throw EAbort();
      });
    };
    abortAt(a->OnBeforeProcess, "before");
    abortAt(a->OnProcessIncluded, "included");
    abortAt(a->OnAfterProcess, "after");
    if (step == "process") a->Raise = "abort";
    if (step[0] == '-') {
      TTreeProbe* dlg = Probe("Dlg", 9000, a);
      dlg->Trace = [step](const std::string& s) {
        if (s == "Dlg got " + step) throw EAbort();
      };
    }
    install->Process();
    std::vector<std::string> inner(trace.begin() + 3, trace.end() - 1);  // without Install's own steps
    EXPECT_EQ(inner, c.trace);
  }
  root.reset(new TDataModule(nullptr));
  TTreeProbe* install = Probe("Install", 1000);
  Probe("A", 2000, install)->Raise = "Cannot find the file";
  try {
    install->Process();
    ADD_FAILURE() << "no exception";
  } catch (const IException& e) {
    EXPECT_EQ(e.Message(), "Cannot find the file");
  }
}

// A dialog run from a broadcast may free objects of the tree; the walks skip them.
TEST_F(InstallTree, MembersRemovedDuringWalks) {
  TTreeProbe* install = Probe("Install", 1000);
  TTreeProbe* dlg = Probe("Dlg", 9000, install, 0);
  TTreeProbe* second = Probe("Dlg2", 9000, install, 1);
  Probe("A", 2000, install, 0);
  TTreeProbe* b = Probe("B", 2000, install, 1);
  dlg->Trace = [&](const std::string& s) {
    trace.push_back(s);
    if (s == "Dlg got -990") {
      second->Free();
      b->Free();
    }
  };
  install->Process();
  EXPECT_EQ(trace, std::vector<std::string>({"before Install", "Dlg got -990", "included Install", "Dlg got -999",
                                             "process Install", "before A", "included A", "process A", "after A",
                                             "after Install", "Dlg got -989"}));
  EXPECT_EQ(Children(*install), "A:0 Dlg:0");
  // A container that goes leaves its parent, and its children lose their Container.
  TTreeProbe* sub = Probe("Sub", 1000, install);
  TTreeProbe* leaf = Probe("Leaf", 2000, sub);
  size_t before = InstallContainers().size();
  sub->Free();
  EXPECT_EQ(leaf->Container(), nullptr);
  EXPECT_EQ(Children(*install), "A:0 Dlg:0");
  EXPECT_EQ(InstallContainers().size(), before - 1);
}

// Process writes the uninstall record under the driver's product name, when there is one.
TEST_F(InstallTree, UninstallRecordWithADriver) {
  struct TDriver : TTreeProbe {
    using TTreeProbe::TTreeProbe;
    std::string UninstallProductName() const override { return "Quiltor Snapmend"; }
  };
  struct TRecording : TTreeProbe {
    using TTreeProbe::TTreeProbe;
    std::vector<std::string> keys;
    void WriteUninstallInfo(const std::string& key) override { keys.push_back(key); }
  };
  auto* file = new TRecording(root.get());
  Setup(*file, "File", 2000, nullptr, -1);
  file->Process();
  EXPECT_TRUE(file->keys.empty());
  auto* driver = new TDriver(root.get());
  Setup(*driver, "Install", 1000, nullptr, -1);
  SetInstallDriver(driver);
  file->Process();
  EXPECT_EQ(file->keys, std::vector<std::string>({"\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quiltor Snapmend"}));
  driver->Free();
  EXPECT_EQ(InstallDriver(), nullptr);
  SetRebootNeeded(true);
  EXPECT_TRUE(RebootNeeded());
  SetRebootNeeded(false);
}

TEST_F(InstallTree, ControlCodesGoUp) {
  struct TListening : TTreeProbe {
    using TTreeProbe::TTreeProbe;
    std::vector<std::string> heard;
    void DoInformationEventControl(TObject* sender, int code, TObject*) override {
      heard.push_back(dynamic_cast<TComponent*>(sender)->Name() + " " + std::to_string(code));
    }
  };
  auto* group = new TListening(root.get());
  Setup(*group, "Group", 1000, nullptr, -1);
  TTreeProbe* file = Probe("File", 2000, group);
  file->InformContainer(ccCopyStarts, file);
  Probe("Alone", 2000)->InformContainer(ccCopyEnds, nullptr);
  EXPECT_EQ(group->heard, std::vector<std::string>({"File 1006"}));
}

// The first container made on the data module gives it the standard specifiers, the
// container destination among them: an object that joins a parent takes it (and no DestDir
// of its own), and gives it up when it leaves.
TEST_F(InstallTree, ContainerDestination) {
  TTreeProbe* install = Probe("Install", 1000);
  TCustomPathSpecifier* desc = FindStandard(TpsContainerDestDir::StaticClass());
  ASSERT_NE(desc, nullptr);
  EXPECT_EQ(desc->Owner(), root.get());
  EXPECT_EQ(desc->Name(), "psContainerDestDir");
  try {
    install->SetDestDirType(desc);
    ADD_FAILURE() << "no exception";
  } catch (const IEPathSpecifier& e) {
    EXPECT_EQ(e.Message(), "Cannot use ddContainerDestDir for Install unless you assign a Container");
  }
  install->SetDestDir("C:\\Program Files\\Quiltor32");
  TTreeProbe* file = Probe("File", 2000);
  file->SetDestDir("\\own");
  file->SetContainer(install);
  EXPECT_EQ(file->DestDirType(), desc);
  EXPECT_EQ(file->DestDir(), "");
  TTreeProbe* group = Probe("Group", 1000, install);
  EXPECT_EQ(group->DestDirType(), desc);
  group->SetDestDir("\\help\\");
  EXPECT_EQ(group->GetFullDestDir(), "C:\\Program Files\\Quiltor32\\help");
  group->SetContainer(nullptr);
  EXPECT_EQ(group->DestDirType(), nullptr);
  desc->Free();
  EXPECT_EQ(file->DestDirType(), nullptr);
  EXPECT_EQ(FindStandard(TpsContainerDestDir::StaticClass()), nullptr);
}

TEST(InstallParameters, Percentages) {
  EXPECT_EQ(TDownloadStatusParameter(0, "", 200, 1).Percent, 1);  // 0.5 rounds up
  EXPECT_EQ(TDownloadStatusParameter(0, "", 3, 1).Percent, 33);
  EXPECT_EQ(TDownloadStatusParameter(0, "", 3, 2).Percent, 67);
  EXPECT_EQ(TDownloadStatusParameter(0, "", 0, 5).Percent, 0);
  EXPECT_EQ(TDownloadStatusParameter(0, "", 100, 250).Percent, 100);  // more than the server had ready
  EXPECT_EQ(TDownloadStatusParameter(0, "", 100, -5).Percent, 0);
  EXPECT_EQ(TDownloadStatusParameter(7, "x", 2000000000, 1000000000).Percent, 50);
  TlzhFileStats stats;
  stats.bytesDone = 10;
  stats.percentDone = 20;
  stats.name = "Quiltor32.exe";
  stats.overallBytesDone = 300;
  stats.overallPercent = 40;
  TFileStatusParameter file(stats);
  EXPECT_EQ(file.BytesDone, 10);
  EXPECT_EQ(file.Percent, 20);
  EXPECT_EQ(file.FileName, "Quiltor32.exe");
  EXPECT_EQ(file.Stats.name, "Quiltor32.exe");
  EXPECT_EQ(file.TotalBytes, 300);
  EXPECT_EQ(file.TotalPercent, 40);
  TDiskParameter disk(2, "A:\\");
  TParameterList list(&file, &disk);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list[1], &disk);
}

// The driver reads definitions from form text: the tree it prints and the trace of
// processing each probe without a Container, or the error of a definition that creates
// nothing.
TEST(TreeDriver, DefinitionsFromFormText) {
  RegisterSetupCoreClasses();
  const std::string definition =
      "object Root: TDataModule\n"
      "  object Install: TTreeProbe\n"
      "    Kind = 1000\n"
      "  end\n"
      "  object Welcome: TTreeProbe\n"
      "    Kind = 9000\n"
      "    Container = Install\n"
      "  end\n"
      "  object Help: TTreeProbe\n"
      "    Kind = 2000\n"
      "    Container = Install\n"
      "    Order = 1\n"
      "    InstallTypes = [itFull]\n"
      "  end\n"
      "  object Program: TTreeProbe\n"
      "    Kind = 2000\n"
      "    Container = Install\n"
      "    Order = 0\n"
      "  end\n"
      "  object Extra: TTreeProbe\n"
      "    Kind = 2000\n"
      "    Include = False\n"
      "  end\n"
      "end\n";
  testsupport::ScratchDir dir("qttree");
  auto run = [&](const std::string& text, std::vector<std::string> options, std::string& err) {
    std::string file = dir.Path("tree.form");
    std::ofstream(file, std::ios::binary) << text;
    options.push_back("tree");
    options.push_back(file);
    std::ostringstream out, errors;
    int rc = RunSetupCoreCommand(options, out, errors);
    err = errors.str();
    return std::to_string(rc) + "\n" + out.str();
  };
  std::string err;
  EXPECT_EQ(run(definition, {"--type", "itCompact"}, err),
            "0\n"
            "Install 1000\n"
            "  Program 2000\n"
            "  Help 2000\n"
            "  Welcome 9000\n"
            "Extra 2000\n"
            "before Install\nWelcome got -990\nincluded Install\nWelcome got -999\nprocess Install\n"
            "before Program\nincluded Program\nprocess Program\nafter Program\n"
            "before Help\nincluded Help\n"
            "after Install\nWelcome got -989\n"
            "before Extra\n");
  EXPECT_EQ(err, "");
  EXPECT_EQ(run(definition, {"--type", "itFull"}, err).find("before Help\nincluded Help\nprocess Help\nafter Help\n") !=
                std::string::npos,
            true);

  struct Bad {
    std::string text, message;
  } bad[] = {
      {"object Root: TDataModule\n  object A: TTreeProbe\n    Kind = 1000\n    Container = B\n  end\n"
       "  object B: TTreeProbe\n    Kind = 1000\n    Container = A\n  end\nend\n",
       "(8): Circular reference\n"},
      {"object Root: TDataModule\n  object A: TTreeProbe\n    Kind = 1000\n  end\n"
       "  object B: TTreeProbe\n    Container = A\n  end\nend\n",
       "(6): Class must declare a registered type\n"},
      {"object Root: TDataModule\n  object A: TTreeProbe\n    Kind = 1000\n    Raise = 'Disk full'\n  end\nend\n",
       "Disk full\n"},
      {"object Root: TDataModule\n  object A: TTreeProbe\n    Kind = 1000\n    Ordr = 1\n  end\nend\n",
       "(4): unknown property 'Ordr' of TTreeProbe\n"},
  };
  for (const Bad& b : bad) {
    std::string out = run(b.text, {}, err);
    EXPECT_EQ(out.substr(0, 2), "1\n") << b.text;
    EXPECT_TRUE(err.size() >= b.message.size() && err.compare(err.size() - b.message.size(), b.message.size(), b.message) == 0)
        << err;
  }
  EXPECT_EQ(InstallContainers().size(), 0u);  // a bad definition leaves no container behind
}

}  // namespace
