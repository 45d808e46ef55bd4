#pragma once
// File names, file dates as day counts and the date of a file on disk, as the archive and
// the version decisions use them. A date-time is the number of days since 30 December
// 1899 with the time of day as the fraction, in local time. A file date lies between
// 1 January 1601 (the first a Windows file date holds) and the end of 9999 (the last a
// date-time holds), to the nearest second; both builds keep to that range, so they agree
// on which stored dates are sound.
#include <string>
#include <vector>

#include "platform/file.h"

namespace setup {

double EncodeDateTime(const platform::LocalTime& t);
// True when dateTime is a number within the range of file dates.
bool IsFileDateTime(double dateTime);
// To the nearest second. A date-time outside the range of file dates (one that is not a
// number or infinite, too) gives the nearer end of the range, and NaN the first moment.
platform::LocalTime DecodeDateTime(double dateTime);

// The last-write date of a file; false when it cannot be opened or read.
bool GetFileDateTime(const std::string& path, double& dateTime);
// False, touching nothing, for a date-time outside the range of file dates.
bool SetFileDateTime(const std::string& path, double dateTime);

// The directory helpers of the installer. Unlike ExtractFilePath of framework/core, which
// splits the names stored from Windows paths ('\\', '/' and a drive colon all end a part),
// they split at this system's separators and '\\' (every path written by the Windows build
// has it) but never at a colon, and give the folder without its trailing separator, keeping
// that of a root ("/", "C:\\").
std::string ExtractFileDir(const std::string& path);
// Creates a directory with all its missing parents; false when it still does not exist.
bool ForceDirectories(const std::string& dir);

// Writes lines to a new file (a batch file), each ended by CR LF; raises the stream's
// error when the file cannot be made or written.
void WriteLines(const std::string& path, const std::vector<std::string>& lines);

}  // namespace setup
