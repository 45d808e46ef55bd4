#pragma once
// Form texts are embedded in the program as RCDATA resources named after their form class
// (the build writes one line per form file into a .rc script and links the result).
// LoadFormText fetches one by name for the portable form reader.
#include <string>

// The bytes of the RCDATA resource name of this program; EFormError when there is none.
std::string LoadFormText(const std::string& name);
