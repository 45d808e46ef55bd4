#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "setup_engine/install_folders.h"
#include "setup_engine/setup_core_cli.h"
#include "tests/support/defaults_check.h"
#include "tests/support/scratch_dir.h"

namespace {

// The driver's commands in-process: "rc|stdout|stderr".
class SetupCoreDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    setup::RegisterSetupCoreClasses();
    Write("en.txt", "* English\r\n10;Hello\r\n11;Cannot find %s\r\n#20;\r\nLine one\r\nLine two\r\n#\r\n");
    Write("de.txt", "10;Hallo\r\n11;Kann %s nicht in %s finden\r\n#20;\r\nZeile eins\r\n#\r\n");
  }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(dir.Path(name), std::ios::binary) << text;
  }
  std::string Run(std::vector<std::string> args) {
    std::ostringstream out, err;
    int rc = setup::RunSetupCoreCommand(args, out, err);
    return std::to_string(rc) + "|" + out.str() + "|" + err.str();
  }
  std::string Path(const std::string& name) { return dir.Path(name); }
  std::string German() { return "klGerman=" + Path("de.txt"); }
  std::string English() { return "klEnglish=" + Path("en.txt"); }
  testsupport::ScratchDir dir{"qtcore"};
};

TEST_F(SetupCoreDriver, ParseAndText) {
  EXPECT_EQ(Run({"parse", Path("en.txt")}),
            "0|10\tHello\n11\tCannot find %s\n#20\t2\n\tLine one\n\tLine two\n|");
  EXPECT_EQ(Run({"--lang", English(), "--lang", German(), "--into", "klGerman", "text", "hello", "Other"}),
            "0|Hallo\nOther\n|");
  EXPECT_EQ(Run({"--lang", English(), "--lang", German(), "text", "Hello"}).substr(0, 2), "0|");
  Write("bad.txt", "10;Hallo\r\n#\r\n");
  EXPECT_EQ(Run({"parse", Path("bad.txt")}),
            "1||Found the end of memo marker # at line 1. Was not in a memo however\n");
  EXPECT_EQ(Run({"--lang", "klGerman=" + Path("bad.txt"), "text", "Hello"}),
            "1||Found the end of memo marker # at line 1. Was not in a memo however\n");
}

// Each class from its format: the component errors in the target language, the others as
// given.
TEST_F(SetupCoreDriver, RaiseEachClass) {
  struct Case {
    const char* cls;
    bool translated;
  } cases[] = {
      {"ECustomKestrinAbnormal", false}, {"EKestrinAbnormal", false}, {"EAPIRoutines", false},
      {"IException", true}, {"IEInstall", true}, {"IEInstallContainer", true}, {"IEFileRelated", true},
      {"IEFileContainer", true}, {"IEfcDuplicateFile", true}, {"IECustomInstallFile", true},
      {"IECustomInstallFileList", true}, {"IEPathSpecifier", true}, {"IEPathSpecifierList", true},
      {"IEInstallBDE", true}, {"IEbdeCannotFindKestrinPath", true}, {"IEObjectRepositoryEntry", true},
      {"IEFileGroupSelectForm", true}, {"EAI", false}, {"EAIUserAbort", false},
      {"EAICannotExpandContainerDirMV", false}, {"EAICannotExpandInstallDirMV", false},
  };
  for (const Case& c : cases) {
    std::string message = c.translated ? "Kann setup.1 nicht in %s finden" : "Cannot find setup.1";
    EXPECT_EQ(Run({"--lang", English(), "--lang", German(), "--into", "klGerman", "raise", c.cls,
                   "Cannot find %s", "setup.1"}),
              "0|" + std::string(c.cls) + ": " + message + "\n|");
  }
  EXPECT_EQ(Run({"raise", "EIRCannotWriteValue", "\\quiltor", "", "21"}),
            "0|EIRCannotWriteValue: Cannot install into registry. Key: \\quiltor Ident:  Value 21\n|");
  EXPECT_EQ(Run({"raise", "EIRCannotWriteValue", "\\quiltor"}), "0|EIRCannotWriteValue: \\quiltor\n|");
}

TEST_F(SetupCoreDriver, FormIsTranslatedFromEnglish) {
  Write("form.txt",
        "object Root: TDataModule\n"
        "  object Welcome: TTreeProbe\n"
        "    Kind = 9000\n"
        "    Caption = 'Hello'\n"
        "  end\n"
        "end\n");
  // The probe, an install container, brought the standard path specifiers: they are
  // written before it, where a definition lists them.
  std::string translated = "object Root: TDataModule\n";
  for (const TClassInfo* cls : setup::StandardSpecifierClasses())
    translated += "  object " + std::string(cls->Name().substr(1)) + ": " + std::string(cls->Name()) + "\n  end\n";
  translated +=
      "  object Welcome: TTreeProbe\n"
      "    Kind = 9000\n"
      "    Caption = 'Hallo'\n"
      "  end\n"
      "end\n";
  EXPECT_EQ(Run({"--lang", English(), "--lang", German(), "--into", "klGerman", "form", Path("form.txt")}),
            "0|" + translated + "|");
  Write("broken.txt", "object Root: TDataModule\n  object W: TNoSuchClass\n  end\nend\n");
  EXPECT_EQ(Run({"form", Path("broken.txt")}), "1||" + Path("broken.txt") + "(2): unknown class TNoSuchClass\n");
}

TEST_F(SetupCoreDriver, Usage) {
  for (std::vector<std::string> args :
       {std::vector<std::string>{}, {"--into", "klKlingon", "text", "a"}, {"--type", "itHalf", "text", "a"},
        {"--lang", "klGerman", "text", "a"}, {"--bogus", "x", "text", "a"}, {"raise", "EWhatever", "x"},
        {"raise", "EIRCannotWriteValue", "k", "only one"}, {"parse"}, {"text"}, {"--into"}}) {
    std::string r = Run(args);
    EXPECT_EQ(r.substr(0, 3), "1||") << r;
    EXPECT_NE(r.find("usage: setup_core_run"), std::string::npos) << r;
  }
}

}  // namespace

namespace {

// The reader keeps what the text leaves out, so every declared default must be what a new
// object holds.
TEST(SetupClasses, DefaultsAgreeWithConstructors) {
  setup::RegisterSetupCoreClasses();
  for (const TClassInfo* cls : RegisteredClasses()) EXPECT_EQ(DefaultMismatches(*cls), std::vector<std::string>{});
}

}  // namespace
