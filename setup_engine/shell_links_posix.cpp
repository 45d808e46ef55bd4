// Without Windows there is no shell link object: its class is not registered.
#include "setup_engine/shell_links.h"

namespace setup {

namespace {

constexpr int32_t kClassNotRegistered = int32_t(0x80040154u);

class TNoShellLinks : public IShellLinkWriter {
 public:
  int32_t InitializeCom() override { return 0; }
  int32_t Save(const TShellLinkData&, const std::string&) override { return kClassNotRegistered; }
  std::string ErrorText(int32_t) override { return {}; }
};

}  // namespace

IShellLinkWriter& DefaultShellLinkWriter() {
  static TNoShellLinks writer;
  return writer;
}

}  // namespace setup
