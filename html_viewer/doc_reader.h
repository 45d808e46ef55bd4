#pragma once
// The HTML parser: turns an HTML or plain-text source into a document (TSectionList).
//
// How it works: one pass of recursive descent over a character scanner, without a tag tree.
// A source (file, buffer, string list or stream) hands out characters and character 26 for
// ever at its end; the scanner joins line ends to 13, removes comments, and cuts tokens:
// text runs, decoded entities and tags with their known attributes. The readers (body,
// lists, tables, preformatted text, select options, text areas, scripts, maps) each loop
// over tokens until one of their terminators, which they leave to their caller, so bad
// nesting is absorbed instead of reported. Every piece of state lives in one THtmlReader
// object per parse. The only error is a comment still open at the end of the source
// (EParseError); what was read before it stays in the document.
//
// Frame-set documents are read into a TFrameSetDesc (doc_frames.h) instead.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "framework/core/exceptions.h"
#include "html_viewer/doc_utils.h"

class TSectionList;
class TSectionBase;
class TCell;
class TStrings;
class TStream;
struct TFrameSetDesc;

class EParseError : public Exception {
 public:
  using Exception::Exception;
};

// Attribute symbols the parser stores beyond those the document model reads.
enum TReaderAttrSymbol : uint8_t {
  BackgroundSy = 100, LinkSy, CheckboxSy, RadioSy, FaceSy, LanguageSy, ScrollingSy, NoResizeSy,
  FrameBorderSy,
};

// The anchor names of a document: upper-case names with the block each starts at, in the
// order met; a repeated name keeps its first entry.
class TAnchorList {
 public:
  struct TEntry {
    std::string Name;
    TSectionBase* Section;
  };
  void Add(const std::string& upperName, TSectionBase* section);
  TSectionBase* Find(const std::string& name) const;  // compared in upper case; null when absent
  const std::vector<TEntry>& Entries() const { return entries_; }
  void Clear() { entries_.clear(), index_.clear(); }
  // Drops entries whose block is not among the document's blocks (anywhere in its cells);
  // pointers to freed blocks never stay.
  void KeepOnly(const TCell& document);
  // Points the entries at old, the block added last, to replacement.
  void Retarget(const TSectionBase* old, TSectionBase* replacement);

 private:
  std::vector<TEntry> entries_;
  std::unordered_map<std::string, size_t> index_;  // name -> entry
};

// A script a document holds: its LANGUAGE and its text, lines ended by CR LF, in a block
// ended by a zero byte. The handler may take the block over; one it leaves is freed.
using TScriptBlock = std::unique_ptr<char[]>;
using TScriptHandler = std::function<void(const std::string& language, TScriptBlock& text)>;

// The results a parse leaves besides the document.
struct TParseResult {
  std::string Title, Base, BaseTarget;
};

// The source kinds: a file, a byte range, the lines of a string list, a stream.
enum class TSourceKind : uint8_t { skFile = 0, skBuffer = 1, skStrings = 2, skStream = 3 };
struct TSourceRef {
  TSourceKind Kind = TSourceKind::skBuffer;
  std::string FileName;
  const char* Start = nullptr;
  const char* End = nullptr;
  const TStrings* Strings = nullptr;
  TStream* Stream = nullptr;

  static TSourceRef File(const std::string& name);
  static TSourceRef Buffer(const char* start, const char* end);
  static TSourceRef Lines(const TStrings& strings);
  static TSourceRef OfStream(TStream& stream);
};

// Parses into list (whose contents are kept: callers clear it first) and names; result gets
// the title and BASE, also when the parse raises. A file that cannot be opened reads as
// empty. Raises EParseError for a comment open at the end.
void HtmlParse(TSectionList& list, TAnchorList& names, const TSourceRef& source, TParseResult& result,
               const TScriptHandler& onScript = nullptr);
// Plain text: one preformatted block per line, no tags, entities or comments.
void TextParse(TSectionList& list, TAnchorList& names, const TSourceRef& source, TParseResult& result);
// The entry points by source kind.
void HtmlParseFile(TSectionList& list, TAnchorList& names, const std::string& fileName, TParseResult& result,
                   const TScriptHandler& onScript = nullptr);
void HtmlParseBuffer(TSectionList& list, TAnchorList& names, const char* start, const char* end,
                     TParseResult& result, const TScriptHandler& onScript = nullptr);
void HtmlParseStrings(TSectionList& list, TAnchorList& names, const TStrings& strings, TParseResult& result,
                      const TScriptHandler& onScript = nullptr);
void HtmlParseStream(TSectionList& list, TAnchorList& names, TStream& stream, TParseResult& result,
                     const TScriptHandler& onScript = nullptr);
void TextParseFile(TSectionList& list, TAnchorList& names, const std::string& fileName, TParseResult& result);
void TextParseStrings(TSectionList& list, TAnchorList& names, const TStrings& strings, TParseResult& result);
// The document of a picture: one block holding the image of that file name.
void ImageParse(TSectionList& list, const std::string& fileName);

// True when a FRAMESET tag comes before any body content. Never raises.
bool IsFrameDocument(const TSourceRef& source);
// Reads a frame-set document into desc (title, BASE and the sets); true when a FRAMESET
// was found. Never raises.
bool FrameParse(TFrameSetDesc& desc, const TSourceRef& source, const TScriptHandler& onScript = nullptr);

// The nominal sizes of the HTML size steps 1..7, normal and preformatted.
extern const int kFontSizes[7];
extern const int kPreformattedSizes[7];
