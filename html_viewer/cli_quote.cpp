#include "html_viewer/cli_quote.h"

#include <cstdio>

std::string QuoteText(const std::string& s) {
  std::string q = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      q += '\\';
      q += char(c);
    } else if (c < 32 || c > 126) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      q += hex;
    } else {
      q += char(c);
    }
  }
  return q + "\"";
}
