#pragma once
// The COM objects of the shell controls' drag and drop (the bytes and rules are in
// drag_data.h): the FORMATETC list and its enumerator, the drop source, the list's data
// object and the drop target that forwards to its control.
//
// A data object holds three global-memory blocks (the item-ID list array, the file drop
// block and the text) and offers them in that order; GetData hands out a copy of a block.
// An enumerator holds a reference to its data object, so it may outlive every other
// holder. A drop target holds its control without a reference; the control detaches it
// when its window goes.
#include <string>
#include <vector>

#include "framework/win/com_object.h"
#include "shell_controls/drag_data.h"
#include "shell_controls/shell_utils_win32.h"

class TQsFormatEtcList : public TObject {
 public:
  // Records for the formats: no device, content, index -1, global memory.
  explicit TQsFormatEtcList(const std::vector<uint16_t>& formats);
  ~TQsFormatEtcList() override;
  TQsFormatEtcList(const TQsFormatEtcList&) = delete;
  TQsFormatEtcList& operator=(const TQsFormatEtcList&) = delete;
  int Count() const { return int(items_.size()); }
  const FORMATETC& Items(int index) const { return items_.at(size_t(index)); }
  void Clear();
  HRESULT QueryGetData(const FORMATETC& query) const;

 private:
  std::vector<FORMATETC> items_;
};

// A copy of a record, its target device copied by its own size (CoTaskMemAlloc).
FORMATETC CopyFormatEtc(const FORMATETC& e);

class TQsFormatEtcList_IEnumFormatEtc : public TComObject<IEnumFORMATETC> {
 public:
  // owner keeps list alive; the enumerator holds a reference to it.
  TQsFormatEtcList_IEnumFormatEtc(IUnknown* owner, const TQsFormatEtcList& list, size_t position = 0);
  HRESULT STDMETHODCALLTYPE Next(ULONG n, FORMATETC* out, ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG n) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC** out) override;

 protected:
  ~TQsFormatEtcList_IEnumFormatEtc() override;

 private:
  IUnknown* owner_;
  const TQsFormatEtcList& list_;
  shell::TEnumPosition position_;
};

class TDropSource_shlvtv : public TComObject<IDropSource> {
 public:
  // button: 0 left, 1 right, 2 middle.
  explicit TDropSource_shlvtv(int button) : startKey_(shell::ButtonKey(button)) {}
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override;
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override;

 private:
  uint32_t startKey_;
};

class TDataObject_shlv : public TComObject<IDataObject> {
 public:
  // The item-ID list array of the parent folder's absolute list and the items' relative
  // lists; the file drop block of the names; the text of the names, each ended by CR LF.
  // EOleError E_OUTOFMEMORY when a block cannot be had.
  TDataObject_shlv(LPCITEMIDLIST parent, const std::vector<LPCITEMIDLIST>& items,
                   const std::vector<std::string>& names);
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override;
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) override;
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD connection) override;
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA** out) override;

 protected:
  ~TDataObject_shlv() override;

 private:
  HGLOBAL text_ = nullptr;
  HGLOBAL fileDrop_ = nullptr;
  HGLOBAL idList_ = nullptr;
  TQsFormatEtcList formats_;
};

// A copy of a global block (GlobalSize bytes, moveable); null when it cannot be made.
HGLOBAL CopyGlobal(HGLOBAL block);
// A block of the bytes; flags as GlobalAlloc's. Null when it cannot be made.
HGLOBAL GlobalOf(const std::vector<uint8_t>& bytes, UINT flags);
// The bytes of a block (all GlobalSize bytes).
std::vector<uint8_t> GlobalBytes(HGLOBAL block);

// What a control does for its drop target.
class TQsDropHandler {
 public:
  virtual ~TQsDropHandler() = default;
  virtual void DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD& effect) = 0;
  virtual void DragOver(DWORD keys, POINTL point, DWORD& effect) = 0;
  virtual void DragLeave() = 0;
  virtual void Drop(IDataObject* data, DWORD keys, POINTL point, DWORD& effect) = 0;
};

class TDropTarget_shlv : public TComObject<IDropTarget> {
 public:
  explicit TDropTarget_shlv(TQsDropHandler* control) : control_(control) {}
  // The control is going: from now on every drop is refused.
  void Detach() { control_ = nullptr; }
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;

 private:
  TQsDropHandler* control_;
};

// The effects every item of a dropped item-ID list array allows (their can-copy, can-move
// and can-link attributes through their parent folder); all three when the data object
// has no array or one that does not read (it is parsed against its block's size).
DWORD DroppedItemsEffects(IDataObject* data);
