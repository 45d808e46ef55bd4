#pragma once
// How the test drivers print a string: in double quotes, with \\, \" and \xHH for bytes
// outside 32..126.
#include <string>

std::string QuoteText(const std::string& s);
