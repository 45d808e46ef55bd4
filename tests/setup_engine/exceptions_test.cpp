#include <gtest/gtest.h>

#include <string>

#include "setup_engine/kstn_compress.h"
#include "setup_engine/setup_exceptions.h"

namespace {

// The language service plugs in as the global translator: component errors translate their
// English format text and then format it; the archive's errors stay English.
TEST(SetupExceptions, ComponentMessagesPassTheGlobalTranslator) {
  struct Translator : setup::ITextTranslator {
    std::string TranslateText(const std::string& english) override {
      return english == "Cannot find %s" ? "Kann %s nicht finden" : english;
    }
  } german;
  EXPECT_EQ(setup::GlobalTextTranslator(), nullptr);
  EXPECT_EQ(IEInstall("Cannot find %s", {"a.txt"}).Message(), "Cannot find a.txt");
  setup::SetGlobalTextTranslator(&german);
  EXPECT_EQ(IEInstall("Cannot find %s", {"Cannot find %s"}).Message(),
            "Kann Cannot find %s nicht finden");
  EXPECT_EQ(IEInstall("Cannot find %s").Message(), "Kann %s nicht finden");
  EXPECT_EQ(IEInstall("Aborted by user").Message(), "Aborted by user");
  EXPECT_EQ(EKstnCompress("Cannot find %s").Message(), "Cannot find %s");
  setup::SetGlobalTextTranslator(nullptr);
  EXPECT_EQ(setup::TranslateText("Cannot find %s"), "Cannot find %s");
}

}  // namespace

namespace {

struct TGermanMessages : setup::ITextTranslator {
  std::string TranslateText(const std::string& english) override {
    if (english == "Circular reference") return "Zirkelbezug";
    if (english == "%s at %s") return "%s bei %s in %s";  // asks for more than it gets
    return english;
  }
};

// The component errors translate before they format; the others keep the text they are
// given; a translated format that asks for more than there is keeps the rest as text.
TEST(SetupExceptions, WhichClassesTranslate) {
  TGermanMessages german;
  setup::SetGlobalTextTranslator(&german);
  EXPECT_EQ(IEInstallContainer("Circular reference").Message(), "Zirkelbezug");
  EXPECT_EQ(IEfcDuplicateFile("Circular reference").Message(), "Zirkelbezug");
  EXPECT_EQ(IEbdeCannotFindKestrinPath("Circular reference").Message(), "Zirkelbezug");
  EXPECT_EQ(IEPathSpecifier("%s at %s", {"a", "b"}).Message(), "a bei b in %s");
  EXPECT_EQ(EAPIRoutines("Circular reference").Message(), "Circular reference");
  EXPECT_EQ(EKestrinAbnormal("%s at %s", {"a", "b"}).Message(), "a at b");
  EXPECT_EQ(EAICannotExpandInstallDirMV("Circular reference").Message(), "Circular reference");
  EXPECT_EQ(EAIUserAbort().Message(), "Installation aborted by the user");
  EXPECT_EQ(EIRCannotWriteValue("\\quiltor", "", "x").Message(),
            "Cannot install into registry. Key: \\quiltor Ident:  Value x");
  EXPECT_EQ(EIRCannotWriteValue("\\quiltor").Message(), "\\quiltor");
  setup::SetGlobalTextTranslator(nullptr);
}

}  // namespace
