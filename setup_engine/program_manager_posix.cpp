// Without Windows there is no Program Manager to talk to.
#include "setup_engine/program_manager.h"

namespace setup {

namespace {

class TNoDdeTransport : public IDdeTransport {
 public:
  bool Connect(const std::string&, const std::string&) override { return false; }
  void Disconnect() override {}
  bool Execute(const std::string&) override { return false; }
  bool Request(const std::string&, std::string&) override { return false; }
};

}  // namespace

IDdeTransport& DefaultDdeTransport() {
  static TNoDdeTransport transport;
  return transport;
}

}  // namespace setup
