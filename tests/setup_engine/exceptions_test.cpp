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
