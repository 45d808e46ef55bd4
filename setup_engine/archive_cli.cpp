#include "setup_engine/archive_cli.h"

#include <cstdio>
#include <cstdlib>

#include "framework/core/sysutils.h"
#include "setup_engine/file_utils.h"
#include "setup_engine/kstn_compress.h"

namespace setup {
namespace {

// A disk file that takes at most capacity bytes, as a floppy of that size would.
class TSizedDiskFile : public TKstnFileHandleStream {
 public:
  TSizedDiskFile(const std::string& path, int64_t capacity)
      : TKstnFileHandleStream(path), capacity_(capacity) {}
  int32_t Write(const void* buffer, int32_t count) override {
    int64_t room = capacity_ - Position();
    if (room <= 0) return 0;
    return TKstnFileHandleStream::Write(buffer, count < room ? count : int32_t(room));
  }

 private:
  int64_t capacity_;
};

class TSizedDiskArchive : public TKstnCompress {
 public:
  explicit TSizedDiskArchive(int64_t capacity) : capacity_(capacity) {}

 protected:
  std::unique_ptr<TStream> CreateDiskFile(const std::string& path) override {
    return std::make_unique<TSizedDiskFile>(path, capacity_);
  }

 private:
  int64_t capacity_;
};

bool ParseNumber(const std::string& text, int64_t& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtoll(text.c_str(), &end, 10);
  return *end == 0 && value >= 0 && value <= INT32_MAX;
}

std::string DateText(double dateTime) {
  platform::LocalTime t = DecodeDateTime(dateTime);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  return text;
}

int Usage(std::ostream& err) {
  err << "usage: archive_run build|append ARCHIVE FILE... | list ARCHIVE [OFFSET] |"
         " extract ARCHIVE NAME OUTFILE [OFFSET] | span ARCHIVE DESTDIR DISKSIZE |"
         " tail SETUP.EXE\n";
  return 1;
}

int Run(const std::vector<std::string>& a, std::ostream& out, std::ostream& err) {
  const std::string& command = a[0];
  int64_t number = 0;
  if ((command == "build" || command == "append") && a.size() >= 3) {
    TKstnCompress archive;
    archive.SetCompressedFile(a[1]);
    std::vector<std::string> files(a.begin() + 2, a.end());
    archive.SetFilesToProcess(files);
    archive.Compress(command == "append");
    return 0;
  }
  if (command == "list" && (a.size() == 2 || a.size() == 3)) {
    if (a.size() == 3 && !ParseNumber(a[2], number)) return Usage(err);
    TKstnCompress archive;
    archive.SetCompressedFile(a[1]);
    archive.Offset = int32_t(number);
    int count = archive.FileCount();
    for (int i = 0; i < count; ++i) {
      TlzhFileStats s;
      archive.GetFileStats(i, s);
      out << s.name << '\t' << s.uncompressedSize << '\t' << s.compressedSize << '\t'
          << DateText(s.header.date) << '\t' << s.header.version << '\t'
          << int(s.header.startDisk) << '\t' << int(s.header.endDisk) << '\n';
    }
    return 0;
  }
  if (command == "extract" && (a.size() == 4 || a.size() == 5)) {
    if (a.size() == 5 && !ParseNumber(a[4], number)) return Usage(err);
    TKstnCompress archive;
    archive.SetCompressedFile(a[1]);
    archive.Offset = int32_t(number);
    archive.ExtractDirectory = ExtractFileDir(a[3]);
    archive.ExtractName = ExtractFileName(a[3]);
    std::vector<std::string> files{a[2]};
    archive.SetFilesToProcess(files);
    archive.ExtractFile();
    return 0;
  }
  if (command == "span" && a.size() == 4) {
    if (!ParseNumber(a[3], number) || number == 0) return Usage(err);
    TSizedDiskArchive archive(number);
    archive.SetCompressedFile(a[1]);
    std::string destDir = a[2];
    archive.OnNewDisk = [destDir](TKstnCompress&, int, std::string& path) { path = destDir; };
    archive.SpanToDisks(destDir, "files.1");
    return 0;
  }
  if (command == "tail" && a.size() == 2) {
    TSelfExtractorTail tail;
    ReadExtractionInfo(a[1], tail);
    out << tail.setupStart << '\t' << tail.setupLast << '\t' << tail.archiveStart << '\t'
        << tail.archiveLast << '\n';
    return 0;
  }
  return Usage(err);
}

}  // namespace

int RunArchiveCommand(const std::vector<std::string>& args, std::ostream& out,
                      std::ostream& err) {
  if (args.empty()) return Usage(err);
  try {
    return Run(args, out, err);
  } catch (const Exception& e) {
    err << e.Message() << '\n';
    return 1;
  }
}

}  // namespace setup
