#include "patch_engine/front_end.h"

#include <atomic>

#include "patch_engine/engine_errors.h"

namespace engine {

void FrontEndServices::Stage1Progress(int) {}
void FrontEndServices::Stage2Progress(int) {}
void FrontEndServices::Stage3Progress(int) {}
void FrontEndServices::FileProgress(int64_t, int64_t, const std::string&) {}
void FrontEndServices::ShowDirectoryMode(bool) {}
void FrontEndServices::PumpMessages() {}
void FrontEndServices::ResetQuellMeters() {}
void FrontEndServices::ShowSourceVersions(int, const std::vector<std::string>&) {}
void FrontEndServices::ShowPatchSize(int64_t) {}
void FrontEndServices::RaiseMissingStub(const std::string& stubName) {
  RaiseEngineErrorFmt(msg::MissingStub, stubName);
}
bool FrontEndServices::AskLongFileNameSupport(const std::string&, const std::string&) { return true; }
void FrontEndServices::ShowPackerNotFound(const std::string&, bool) {}
bool FrontEndServices::RunAndWait(const std::string&, bool, uint32_t&) { return false; }

namespace {

FrontEndServices quietFrontEnd;
std::atomic<FrontEndServices*> installed{&quietFrontEnd};

}  // namespace

FrontEndScope::FrontEndScope(FrontEndServices& services) : previous_(installed.exchange(&services)) {}
FrontEndScope::~FrontEndScope() { installed = previous_; }

FrontEndServices& FrontEnd() { return *installed.load(); }

}  // namespace engine
