#pragma once
// What the parts of the archive component share: kstn_compress.cpp (its properties, the
// operation runner and the disk files) and the archive_*.cpp files of its operations.
// Nothing outside the component includes it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/streams.h"
#include "framework/core/sysutils.h"
#include "setup_engine/kstn_compress.h"

namespace setup::archive_parts {

constexpr int32_t kCopyBlock = 8192;
constexpr uint16_t kReadShared = fmOpenRead | fmShareDenyNone;
constexpr uint16_t kReadWriteShared = fmOpenReadWrite | fmShareDenyNone;

// Raises EKstnCompress with the English message.
[[noreturn]] void Fail(const std::string& format, const std::vector<TFormatArg>& args = {});
// Lets the application dispatch its messages (ArchiveProcessMessages), after every block.
void PumpMessages();
// A quotient as a rounded percentage (ties to even); 0 for a zero divisor.
int Percent(double part, double whole);
// The stored name a line of FilesToProcess names: the text before its first ";".
std::string BeforeSemicolon(const std::string& line);
// Opens path with mode; fails with message (and path) when it cannot.
std::unique_ptr<TFileStream> OpenFile(const std::string& path, uint16_t mode,
                                      const char* message);
// A path that exists but is not a regular file (a folder, pipe, socket or device) fails with
// message before anything opens it: opening a pipe waits for a writer, and reading a device
// may never end. A missing path is left to the open that follows.
void RefuseNonRegular(const std::string& path, const char* message);
bool FitsInt32(int64_t v);
// The file part of the statistics, from a header: nothing of the file done yet.
void FillFileStats(TlzhFileStats& stats, const TFileHeaderRecord& h);
// Counts n more bytes done of the current file and of the whole operation, and their
// percentages of fileSize and of totalSize.
void AddProgress(TlzhFileStats& stats, int32_t n, int32_t fileSize, int32_t totalSize);
// Whether an overwrite decision (version_info.h) keeps the existing file; one that failed
// fails the operation.
bool KeepsExisting(int decision);

}  // namespace setup::archive_parts
