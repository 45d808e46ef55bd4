// The open and save dialogs' rules: quoted names, combining with the shown folder, every
// refusal of a typed name, the default extension, the file check's messages and answers,
// the selection text, the filter's entries and the state record.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "framework/core/streams.h"
#include "framework/core/sysutils.h"
#include "shell_controls/file_dialog_rules.h"

namespace {

using Names = std::vector<std::string>;
using namespace shell;

// A double-byte code page where 0x81..0x9F and 0xE0..0xFC lead, for a test's scope.
class TDbcsScope {
 public:
  TDbcsScope() {
    TLocale l = Locale();
    l.IsLeadByte = [](uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); };
    old_ = SetLocale(l);
  }
  ~TDbcsScope() { SetLocale(old_); }

 private:
  TLocale old_;
};

TEST(FileDialogNames, QuotedListsSplitIntoTheirNames) {
  struct Case {
    const char* text;
    Names names;
  };
  for (const Case& c : {Case{"\"a.txt\" \"b.txt\"", {"a.txt", "b.txt"}}, Case{"  \t\"a b.txt\"\t\"c\"", {"a b.txt", "c"}},
                        Case{"plain name\"quoted\"", {"plain name", "quoted"}}, Case{"\"open", {"open"}},
                        Case{"\"\" \"x\"", {"x"}}, Case{"", {}}, Case{"\"a\"b", {"a", "b"}}}) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ScanQuotedNames(c.text), c.names);
  }
  // A trail byte that is a quote belongs to its character.
  TDbcsScope dbcs;
  EXPECT_EQ(ScanQuotedNames("\"\x81\x22.txt\" \"b\""), (Names{"\x81\x22.txt", "b"}));
}

TEST(FileDialogNames, NamesCombineWithTheShownFolder) {
  struct Case {
    const char* folder;
    const char* name;
    const char* full;
  };
  for (const Case& c : {
           Case{"C:\\work\\docs", "a.txt", "C:\\work\\docs\\a.txt"},
           Case{"C:\\work\\docs\\", "sub\\a.txt", "C:\\work\\docs\\sub\\a.txt"},
           Case{"C:\\work\\docs", "..\\x", "C:\\work\\x"},
           Case{"C:\\work\\docs", "...\\x", "C:\\x"},
           Case{"C:\\work\\docs", "....\\..\\x", "C:\\x"},  // never above the root
           Case{"C:\\work\\docs", "..", "C:\\work"},
           Case{"C:\\work", "..", "C:\\"},  // a bare drive keeps its backslash
           Case{"C:\\work\\docs", ".\\a", "C:\\work\\docs\\a"},
           Case{"C:\\work\\docs", "\\x", "C:\\x"},
           Case{"C:\\", "a", "C:\\a"},
           Case{"C:\\work", "D:", "D:\\"},
           Case{"C:\\work", "D:\\y\\z", "D:\\y\\z"},
           Case{"C:\\work", "\\\\srv\\share\\f", "\\\\srv\\share\\f"},
           Case{"\\\\srv\\share\\dir", "\\top", "\\\\srv\\share\\top"},
           Case{"\\\\srv\\share\\dir", "...\\f", "\\\\srv\\share\\f"},
           Case{"", "a.txt", "a.txt"},
       }) {
    SCOPED_TRACE(std::string(c.folder) + " + " + c.name);
    EXPECT_EQ(CombinePath(c.folder, c.name), c.full);
  }
  // A backslash that is a trail byte is no separator.
  TDbcsScope dbcs;
  EXPECT_EQ(CombinePath("C:\\\x83\\", "a"), "C:\\\x83\\\\a");
  EXPECT_EQ(FilePartOf("C:\\d\\\x83\\"), "\x83\\");
}

TEST(FileDialogNames, TypedNamesAndCombinedPathsThatAreRefused) {
  struct Case {
    std::string name;
    int typed;
  };
  for (const Case& c : {Case{"a.txt", 0}, Case{"a/b", kMsgInvalidName}, Case{"a<b", kMsgInvalidName},
                        Case{"a>b", kMsgInvalidName}, Case{"a|b", kMsgInvalidName}, Case{"a\\\\b", kMsgInvalidName},
                        Case{"\\\\srv\\share", 0}, Case{"\\\\\\x", kMsgInvalidName}, Case{"a\tb", kMsgInvalidName},
                        Case{std::string("a\x01"), kMsgInvalidName}, Case{"*.txt", 0}, Case{"d\\*.txt", 0},
                        Case{"d*\\x.txt", kMsgInvalidName}, Case{"d?\\x", kMsgInvalidName}, Case{"C:", 0},
                        Case{"C:\\x", 0}, Case{"C:x", kMsgInvalidName}, Case{"a:b", kMsgInvalidName},
                        Case{"C:\\a:b", kMsgInvalidName}, Case{"1:\\x", kMsgInvalidName}}) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CheckTypedName(c.name), c.typed);
  }
  struct Full {
    std::string full;
    int id;
  };
  for (const Full& c : {Full{"C:\\" + std::string(255, 'n'), 0}, Full{"C:\\" + std::string(256, 'n'), kMsgInvalidName},
                        Full{"C:\\" + std::string(200, 'd') + "\\" + std::string(55, 'n'), 0},  // 259
                        Full{"C:\\" + std::string(200, 'd') + "\\" + std::string(56, 'n'), kMsgInvalidName},
                        Full{"C:\\d\\con", kMsgDeviceName}, Full{"C:\\d\\Nul.txt", kMsgDeviceName},
                        Full{"C:\\d\\com1.a.b", kMsgDeviceName}, Full{"C:\\d\\LPT9", kMsgDeviceName},
                        Full{"C:\\d\\COM0", 0}, Full{"C:\\d\\com10", 0}, Full{"C:\\d\\console", 0},
                        Full{"C:\\con\\a.txt", 0}}) {
    SCOPED_TRACE(c.full.substr(0, 40));
    EXPECT_EQ(CheckCombinedPath(c.full), c.id);
  }
}

TEST(FileDialogNames, TheDefaultExtension) {
  std::set<std::string> registered{".txt", ".DOC"};
  auto reg = [&](const std::string& e) { return registered.count(e) > 0; };
  struct Case {
    const char* path;
    const char* ext;
    const char* result;
    bool different;
  };
  for (const Case& c : {Case{"C:\\report", "txt", "C:\\report.txt", false},
                        Case{"C:\\report.zz", "txt", "C:\\report.zz.txt", false},
                        Case{"C:\\report.DOC", "txt", "C:\\report.DOC", true},
                        Case{"C:\\report.txt", "txt", "C:\\report.txt", true},
                        Case{"C:\\v1.0\\report", "txt", "C:\\v1.0\\report.txt", false},
                        Case{"C:\\report", "", "C:\\report", false}}) {
    SCOPED_TRACE(c.path);
    TDefaultExt d = ApplyDefaultExt(c.path, c.ext, reg);
    EXPECT_EQ(d.Path, c.result);
    EXPECT_EQ(d.ExtensionDifferent, c.different);
  }
}

// The dialog's world: a shown folder, files and folders on disk, list items by name, and
// a log of what the dialog did (messages with their answers).
class TFakeHost : public TFileDialogHost {
 public:
  std::string shown = "C:\\work";
  std::map<std::string, TFileState> disk;  // upper-cased paths
  std::map<std::string, std::string> links;
  std::map<std::string, Names> items;  // list captions and their paths
  std::string selectedPath;            // the selected non-folder item's path
  std::string selectedName;
  std::map<int, bool> answers;
  Names log;

  std::string ShownFolder() override { return shown; }
  bool IsShellFolder(const std::string& full) override { return StateOf(full) == TFileState::Folder; }
  void EnterFolder(const std::string& full) override {
    log.push_back("enter " + full);
    shown = full;
  }
  TFileState StateOf(const std::string& full) override {
    auto it = disk.find(AnsiUpperCase(ExcludeTrailingBackslash(full)));
    if (full.size() == 3 && full[1] == ':') return TFileState::Folder;
    return it == disk.end() ? TFileState::Missing : it->second;
  }
  std::string ShortcutTarget(const std::string& full) override {
    auto it = links.find(full);
    return it == links.end() ? std::string() : it->second;
  }
  bool ExtensionRegistered(const std::string& ext) override { return SameText(ext, ".txt"); }
  std::string SelectedItemPath(const std::string& text) override { return text == selectedName ? selectedPath : ""; }
  void MoveToFolder(const std::string& folder) override {
    log.push_back("move " + folder);
    shown = folder;
  }
  std::vector<std::string> ItemsNamed(const std::string& name) override {
    auto it = items.find(name);
    return it == items.end() ? Names{} : it->second;
  }
  void SelectItemNamed(const std::string& name) override { log.push_back("select " + name); }
  bool Message(int id, const std::string& arg) override {
    bool yes = answers.count(id) ? answers[id] : false;
    log.push_back(IntToStr(id) + " " + arg + (MessageKindOf(id) == TMessageKind::WarningOk ? "" : yes ? " yes" : " no"));
    return yes;
  }
  void Put(const std::string& path, TFileState s) { disk[AnsiUpperCase(path)] = s; }
};

class FileDialogValidation : public ::testing::Test {
 protected:
  void SetUp() override {
    host.Put("C:\\work", TFileState::Folder);
    host.Put("C:\\work\\sub", TFileState::Folder);
    host.Put("C:\\work\\a.txt", TFileState::File);
    host.Put("C:\\work\\b.txt", TFileState::File);
    host.Put("C:\\work\\ro.txt", TFileState::ReadOnlyFile);
    host.Put("C:\\other", TFileState::Folder);
  }
  TValidation Run(const std::string& text, TQsOpenOptions extra = 0, const std::string& ext = "", bool fromList = false) {
    options = kDefaultOpenOptions | extra;
    host.shown = "C:\\work";
    return Validate(host, text, options, ext, fromList);
  }
  TFakeHost host;
  TQsOpenOptions options = 0;
};

TEST_F(FileDialogValidation, EachRefusalIsOneMessageAndReturnsNothing) {
  struct Case {
    std::string text;
    TQsOpenOptions options;
    std::string message;
  };
  for (const Case& c : {
           Case{"a|b", 0, "52491 a|b"},
           Case{"bad\tname", 0, "52491 bad\tname"},
           Case{"d*\\x", 0, "52491 d*\\x"},
           Case{"x:y", 0, "52491 x:y"},
           Case{std::string(300, 'n'), 0, "52491 " + std::string(300, 'n')},
           Case{"CON.txt", 0, "52495 C:\\work\\CON.txt"},
           Case{"lpt3", 0, "52495 C:\\work\\lpt3"},
           Case{"missing\\x.txt", 0, "52490 C:\\work\\missing\\x.txt"},
           Case{"gone.txt", qsofFileMustExist, "52489 C:\\work\\gone.txt"},
           Case{"ro.txt", qsofNoReadOnlyReturn, "52494 C:\\work\\ro.txt"},
           Case{"a.txt", qsofOverwritePrompt, "52480 C:\\work\\a.txt no"},
           Case{"new.txt", qsofCreatePrompt, "52498 new.txt no"},
           Case{"\"a.txt\" \"gone.txt\"", qsofAllowMultiselect, "52489 C:\\work\\gone.txt"},
           Case{"\"\"", 0, "52538 "},
       }) {
    SCOPED_TRACE(c.text.substr(0, 30));
    host.log.clear();
    host.shown = "C:\\work";
    TValidation v = Run(c.text, c.options);
    EXPECT_FALSE(v.Ok);
    EXPECT_TRUE(v.Files.empty());
    EXPECT_EQ(host.log, Names{c.message});
    EXPECT_EQ(host.shown, "C:\\work");  // the combo did not move
  }
}

TEST_F(FileDialogValidation, AnswersAndAcceptedNames) {
  host.answers = {{kMsgReplace, true}, {kMsgCreate, true}};
  struct Case {
    std::string text;
    TQsOpenOptions options;
    Names files;
    Names log;
  };
  for (const Case& c : {
           Case{"a.txt", qsofOverwritePrompt, {"C:\\work\\a.txt"}, {"52480 C:\\work\\a.txt yes"}},
           Case{"new.txt", qsofCreatePrompt, {"C:\\work\\new.txt"}, {"52498 new.txt yes"}},
           Case{"ro.txt", 0, {"C:\\work\\ro.txt"}, {}},
           Case{"new.txt", 0, {"C:\\work\\new.txt"}, {}},
           Case{"..\\other\\n.txt", 0, {"C:\\other\\n.txt"}, {"move C:\\other"}},
           Case{"\"b.txt\" \"a.txt\"", qsofAllowMultiselect, {"C:\\work\\b.txt", "C:\\work\\a.txt"}, {}},
       }) {
    SCOPED_TRACE(c.text);
    host.log.clear();
    host.shown = "C:\\work";
    TValidation v = Run(c.text, c.options);
    EXPECT_TRUE(v.Ok);
    EXPECT_EQ(v.Files, c.files);
    EXPECT_EQ(host.log, c.log);
  }
}

TEST_F(FileDialogValidation, TypedFoldersAreEnteredInsteadOfReturned) {
  for (const char* text : {"sub", "C:\\other", "..", "D:"}) {
    SCOPED_TRACE(text);
    host.Put("D:", TFileState::Folder);
    host.log.clear();
    host.shown = "C:\\work";
    TValidation v = Run(text);
    EXPECT_FALSE(v.Ok);
    EXPECT_TRUE(v.Files.empty());
    ASSERT_EQ(host.log.size(), 1u);
    EXPECT_EQ(host.log[0].rfind("enter ", 0), 0u);
  }
  EXPECT_EQ(host.shown, "D:\\");
}

TEST_F(FileDialogValidation, ExtensionsLinksAndTheList) {
  // The default extension, and the option that tells a registered one.
  TValidation v = Run("report", 0, "txt");
  EXPECT_EQ(v.Files, Names{"C:\\work\\report.txt"});
  EXPECT_FALSE(options & qsofExtensionDifferent);
  v = Run("report.txt", 0, "doc");
  EXPECT_EQ(v.Files, Names{"C:\\work\\report.txt"});
  EXPECT_TRUE(options & qsofExtensionDifferent);
  v = Run("report.zz", 0, "txt");
  EXPECT_EQ(v.Files, Names{"C:\\work\\report.zz.txt"});

  // A shortcut gives its target, unless links are not followed.
  host.links["C:\\work\\go.lnk"] = "C:\\other\\target.txt";
  EXPECT_EQ(Run("go.lnk").Files, Names{"C:\\other\\target.txt"});
  EXPECT_EQ(Run("go.lnk", qsofNoDereferenceLinks).Files, Names{"C:\\work\\go.lnk"});

  // A list item named as typed gives its path; two of them ask to choose.
  host.items["Shown Name"] = {"C:\\work\\real.txt"};
  EXPECT_EQ(Run("Shown Name").Files, Names{"C:\\work\\real.txt"});
  host.items["twice"] = {"C:\\work\\twice.a", "C:\\work\\twice.b"};
  host.log.clear();
  v = Run("twice");
  EXPECT_FALSE(v.Ok);
  EXPECT_EQ(host.log, (Names{"52499 twice", "select twice"}));

  // Filled from the list: the selected item's path, when its name is the edit's text.
  host.selectedName = "Shown";
  host.selectedPath = "C:\\work\\shown.dat";
  EXPECT_EQ(Run("Shown", 0, "txt", true).Files, Names{"C:\\work\\shown.dat"});
  EXPECT_EQ(Run("Other", 0, "", true).Files, Names{"C:\\work\\Other"});
  EXPECT_EQ(Run("Shown", 0, "txt", false).Files, Names{"C:\\work\\Shown.txt"});
}

TEST_F(FileDialogValidation, WildcardsFilterInTheirFolder) {
  TWildcard w = ApplyWildcard(host, "*.txt");
  EXPECT_EQ(w.Mask, "*.txt");
  EXPECT_TRUE(host.log.empty());
  w = ApplyWildcard(host, "sub\\*.d?c");
  EXPECT_EQ(w.Mask, "*.d?c");
  EXPECT_EQ(host.log, Names{"enter C:\\work\\sub"});
  host.log.clear();
  w = ApplyWildcard(host, "nowhere\\*.txt");
  EXPECT_FALSE(w.Entered);
  EXPECT_EQ(host.log, Names{"52490 C:\\work\\sub\\nowhere"});
  EXPECT_EQ(ApplyWildcard(host, "plain.txt").Mask, "");
}

TEST(FileDialogList, TheSelectionWritesTheEdit) {
  std::vector<TListEntry> items{{"dir", true, true}, {"a.txt", false, true}, {"b.txt", false, false},
                                {"c.txt", false, true}, {"d.txt", false, true}};
  EXPECT_EQ(SelectionText(items, 3), "\"c.txt\" \"d.txt\" \"a.txt\"");
  EXPECT_EQ(SelectionText(items, 0), "\"a.txt\" \"c.txt\" \"d.txt\"");
  std::vector<TListEntry> one{{"dir", true, false}, {"x.txt", false, true}};
  EXPECT_EQ(SelectionText(one, 0), "x.txt");
  one[1].Folder = true;
  EXPECT_EQ(SelectionText(one, 1), "");
  EXPECT_EQ(SelectionText({}, -1), "");
}

TEST(FileDialogFilter, EntriesAndTheIndexThatSelectsOne) {
  std::vector<TFilterEntry> e = SplitFilter("Text files|*.txt|All files|*.*");
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[1].Description, "All files");
  EXPECT_EQ(e[1].Mask, "*.*");
  EXPECT_TRUE(SplitFilter("").empty());
  ASSERT_EQ(SplitFilter("Lonely").size(), 1u);
  EXPECT_EQ(SplitFilter("Lonely")[0].Mask, "");
  {
    TDbcsScope dbcs;
    std::vector<TFilterEntry> d = SplitFilter("\x81|x|*.x");
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].Description, "\x81|x");
  }
  struct Case {
    int index, count, selected;
    bool apply;
  };
  for (const Case& c : {Case{1, 2, 0, true}, Case{2, 2, 1, true}, Case{3, 2, 0, false}, Case{0, 2, 0, false},
                        Case{-1, 2, 0, false}, Case{1, 0, -1, false}}) {
    SCOPED_TRACE(c.index);
    TFilterChoice f = ChooseFilter(c.index, c.count);
    EXPECT_EQ(f.Index, c.selected);
    EXPECT_EQ(f.Apply, c.apply);
  }
}

TEST(FileDialogState, FourteenBytesLittleEndian) {
  TMemoryStream s;
  TQsDialogState st{459, 274, 2, true, 200};
  WriteDialogState(s, st, true);
  ASSERT_EQ(s.Size(), 14);
  const uint8_t expected[14] = {0xCB, 1, 0, 0, 0x12, 1, 0, 0, 2, 1, 200, 0, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(static_cast<const uint8_t*>(s.Memory()), static_cast<const uint8_t*>(s.Memory()) + 14),
            std::vector<uint8_t>(expected, expected + 14));
  s.SetPosition(0);
  TQsDialogState back = ReadDialogState(s, true);
  EXPECT_EQ(back.FormWidth, 459);
  EXPECT_EQ(back.FormHeight, 274);
  EXPECT_EQ(back.WindowState, 2);
  EXPECT_TRUE(back.ShowTree);
  EXPECT_EQ(back.SplitterPos, 200);
  TMemoryStream plain;
  WriteDialogState(plain, st, false);
  EXPECT_EQ(plain.Size(), 9);
  TMemoryStream shortOne;
  shortOne.WriteBuffer(expected, 10);
  shortOne.SetPosition(0);
  EXPECT_THROW(ReadDialogState(shortOne, true), EReadError);
}

TEST(FileDialogOptions, NamesInDeclarationOrder) {
  ASSERT_EQ(OpenOptionNames().size(), 21u);
  EXPECT_EQ(OpenOptionNames()[10], "qsofOverwritePrompt");
  EXPECT_EQ(kDefaultOpenOptions, 0x1A8010u);
}

}  // namespace
