#pragma once
// The setup archive component: adding files to one compressed archive, listing and
// extracting them, spanning the archive over numbered disk files and copying plain files
// with the overwrite rules.
//
// How it works: every file is deflated on its own into a temporary file and then copied
// into the archive behind its header (archive_format.h has the layout); the whole list of
// names and sources is checked before the archive is created or opened: only regular files
// with a date an extracted file can carry, and never the archive itself. Extraction finds
// the header by stored name, inflates its data (running on over disk files in a spanned
// set, asking OnNewDisk for a missing one) into a temporary file in the destination folder,
// and puts that file in place of the destination only after its size was checked and its
// date set. Header tables are checked against the archive file's size before they are
// believed, and a file's date before anything is written for it. A stored name is the
// full source path as it was given: it is only a key, and when a file is extracted under
// it, only its last part names the file, inside the extract directory; a name that climbs
// out with ".." is refused (archive_names.h). Spanning writes the disk files through a raw
// handle stream, so a short write tells what a full disk took, and the rest runs on over
// as many new disks as it needs; a set that is not finished is removed again.
// Progress goes to the events as TlzhFileStats; ArchiveProcessMessages lets the
// application dispatch its messages after every block, so Abort can be set meanwhile.
//
// One class, one file per concern: kstn_compress.cpp (properties, the operation runner,
// disk files), archive_table.cpp (the header table and its checks), archive_add.cpp,
// archive_extract.cpp, archive_span.cpp, install_copy.cpp (CopyWithVersionCheck) and
// self_extractor.cpp; archive_parts.h holds what they share.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/streams.h"
#include "setup_engine/archive_format.h"
#include "setup_engine/compression_streams.h"
#include "setup_engine/setup_exceptions.h"
#include "setup_engine/version_info.h"

class EKstnCompress : public EKestrinAbnormal {
 public:
  using EKestrinAbnormal::EKestrinAbnormal;
};
class EArchiveAborted : public EKstnCompress {
 public:
  EArchiveAborted() : EKstnCompress("Operation aborted by user") {}
};
class EArchiveDiskFull : public EKstnCompress {
 public:
  EArchiveDiskFull() : EKstnCompress("The disk is full") {}
};

// The install files' archive command; the archive's own operations do not read it.
enum TlzhCommand { lzcOverwrite, lzcOnlyAdd };

struct TlzhFileStats {
  int percentDone = 0;
  int32_t bytesDone = 0;
  std::string name;
  int32_t compressedSize = 0;
  int ratio = 0;
  int32_t uncompressedSize = 0;
  setup::TFileHeaderRecord header;
  bool finished = false;
  int overallPercent = 0;
  int32_t overallBytesDone = 0;
  int32_t totalCompressed = 0;
  int overallRatio = 0;
  int32_t totalUncompressed = 0;
};

class TFileHeader {
 public:
  setup::TFileHeaderRecord record;
  bool readFromArchive = false;
};

class TFileHeaders {
 public:
  void Add(const TFileHeader& header);  // refuses a header with a blank stored name
  TFileHeader& Get(int index);
  int Count() const { return int(list_.size()); }
  void Clear() { list_.clear(); }
  uint8_t spanned = 0;

 private:
  std::vector<TFileHeader> list_;
};

class TKstnCompress;
using TNotifyArchiveEvent = std::function<void(TKstnCompress&)>;
using TlzhFileStatsEvent = std::function<void(TKstnCompress&, const TlzhFileStats&)>;
using TlzhNewDiskEvent = std::function<void(TKstnCompress&, int diskNumber, std::string& path)>;

// Set by the application to dispatch its pending messages; called after every block.
extern void (*ArchiveProcessMessages)();

class TKstnCompress {
 public:
  TKstnCompress() = default;
  TKstnCompress(const TKstnCompress&) = delete;
  TKstnCompress& operator=(const TKstnCompress&) = delete;
  virtual ~TKstnCompress() = default;

  bool Abort = false;
  TCompressionLevel CompressionLevel = colMax;
  std::string ExtractDirectory;
  int32_t Offset = 0;
  TOverwriteType Overwrite = owAlways;
  std::string ExtractName;  // name of the next extracted file; cleared after each file

  TNotifyArchiveEvent OnAborted, OnFullDisk;
  TlzhFileStatsEvent OnAfterAdding, OnBeforeAdding, OnAfterExtracting, OnBeforeExtracting,
      OnListing, OnReplace, OnStatus;
  TlzhNewDiskEvent OnNewDisk;

  const std::string& CompressedFile() const { return compressedFile_; }
  void SetCompressedFile(const std::string& name);
  const std::vector<std::string>& FilesToProcess() const { return files_; }
  // Deletes the blank lines from list itself, then takes a copy of it.
  void SetFilesToProcess(std::vector<std::string>& list);

  int FileCount();
  void GetFileStats(int index, TlzhFileStats& stats);
  // The first header whose stored name is name, case ignored and a backslash alike to a slash; -1 for none.
  int IndexOfFile(const std::string& name);
  void LoadHeaders();
  void ReadHeaderTable(TStream& stream, int64_t offset);
  void WriteHeaderTable(TStream& stream);

  void Compress(bool append);
  void ExtractFile();
  void SpanToDisks(const std::string& destDir, const std::string& destName);
  void CopyWithVersionCheck(const std::string& source, const std::string& dest);

  virtual void DoDiskFull();

 protected:
  // Creates one disk file of a spanned set (EStreamError when it cannot); its writes fall
  // short by exactly the bytes that do not fit on the disk.
  virtual std::unique_ptr<TStream> CreateDiskFile(const std::string& path);

 private:
  enum class Mode { None, Adding, Extracting };

  // Runs an operation: a user abort fires OnAborted instead of failing, a silent abort
  // ends it quietly when quietOnSilentAbort, any other failure sets Abort and passes on.
  void RunOperation(const std::function<void()>& body, bool quietOnSilentAbort);
  void EnsureLoaded();
  void OpenDiskFile(std::unique_ptr<TFileStream>& stream, int diskNumber, uint16_t mode,
                    std::string& path);
  void WriteHeaders(TStream& stream, TFileHeaders& headers);
  TFileHeader MakeHeader(const std::string& line, int ordinal);
  void AddFile(TFileStream& archive, TFileHeader& header);
  void AddStatus(TStream& source, TStream* temp);
  void CompressList(bool append);
  void ExtractOne(const std::string& line);
  void SpanList(const std::string& destDir, const std::string& destName);
  // Inflates the current file's data into dest; true when its deflate stream ended.
  bool InflateCurrentFile(std::unique_ptr<TFileStream>& source, TFileStream& dest,
                          const setup::TFileHeaderRecord& h);
  std::string Destination() const;
  void ComputeTotals(TlzhFileStats& stats);
  void CheckRange(const setup::TFileHeaderRecord& h, int disk, int64_t diskSize) const;
  [[noreturn]] void Corrupt(const std::string& name) const;

  std::string compressedFile_;
  std::vector<std::string> files_;
  TFileHeaders headers_;
  bool loaded_ = false;
  Mode mode_ = Mode::None;
  int currentDisk_ = 0;
  TlzhFileStats stats_;
};

// The process-wide archive component of the install driver.
TKstnCompress& GlobalArchive();

// Joins the setup part and (when it exists) the archive to the loader program exe and
// writes the 56-byte tail.
void CreateSelfExtractor(const std::string& exe, const std::string& setupPart,
                         const std::string& archive);
// Reads and checks the tail of a self-extracting setup program.
void ReadExtractionInfo(const std::string& path, setup::TSelfExtractorTail& tail);
