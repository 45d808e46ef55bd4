// Natively there is no Internet library: a download fails as on a Windows without one.
#include "setup_engine/net_location.h"

namespace setup {

bool LoadSystemInternetLibrary(TInternetCalls&) { return false; }

}  // namespace setup
