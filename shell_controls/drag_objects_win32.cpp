#include "shell_controls/drag_objects_win32.h"

#include <cstring>

#include "shell_controls/shell_seam_win32.h"

namespace {

shell::TFormatEtc Portable(const FORMATETC& e) {
  shell::TFormatEtc p;
  p.Format = e.cfFormat;
  p.HasDevice = e.ptd != nullptr;
  p.Aspect = e.dwAspect;
  p.Index = e.lindex;
  p.Tymed = e.tymed;
  return p;
}

}  // namespace

// ---- blocks

HGLOBAL GlobalOf(const std::vector<uint8_t>& bytes, UINT flags) {
  HGLOBAL h = GlobalAlloc(flags, bytes.size() ? bytes.size() : 1);
  if (!h) return nullptr;
  void* p = GlobalLock(h);
  if (!p) {
    GlobalFree(h);
    return nullptr;
  }
  if (!bytes.empty()) std::memcpy(p, bytes.data(), bytes.size());
  GlobalUnlock(h);
  return h;
}

std::vector<uint8_t> GlobalBytes(HGLOBAL block) {
  std::vector<uint8_t> b;
  if (!block) return b;
  SIZE_T n = GlobalSize(block);
  const void* p = GlobalLock(block);
  if (!p) return b;
  b.assign(static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
  GlobalUnlock(block);
  return b;
}

HGLOBAL CopyGlobal(HGLOBAL block) {
  if (!block) return nullptr;
  return GlobalOf(GlobalBytes(block), GMEM_MOVEABLE);
}

FORMATETC CopyFormatEtc(const FORMATETC& e) {
  FORMATETC c = e;
  if (e.ptd) {
    c.ptd = static_cast<DVTARGETDEVICE*>(CoTaskMemAlloc(e.ptd->tdSize));
    if (c.ptd) std::memcpy(c.ptd, e.ptd, e.ptd->tdSize);
  }
  return c;
}

// ---- TQsFormatEtcList

TQsFormatEtcList::TQsFormatEtcList(const std::vector<uint16_t>& formats) {
  for (const shell::TFormatEtc& p : shell::FormatEtcList(formats)) {
    FORMATETC e{};
    e.cfFormat = p.Format;
    e.ptd = nullptr;
    e.dwAspect = p.Aspect;
    e.lindex = p.Index;
    e.tymed = p.Tymed;
    items_.push_back(e);
  }
}

TQsFormatEtcList::~TQsFormatEtcList() { Clear(); }

void TQsFormatEtcList::Clear() {
  for (FORMATETC& e : items_)
    if (e.ptd) CoTaskMemFree(e.ptd);
  items_.clear();
}

HRESULT TQsFormatEtcList::QueryGetData(const FORMATETC& query) const {
  std::vector<shell::TFormatEtc> offered;
  for (const FORMATETC& e : items_) offered.push_back(Portable(e));
  return HRESULT(shell::QueryGetData(offered, Portable(query)));
}

// ---- TQsFormatEtcList_IEnumFormatEtc

TQsFormatEtcList_IEnumFormatEtc::TQsFormatEtcList_IEnumFormatEtc(IUnknown* owner, const TQsFormatEtcList& list,
                                                                 size_t position)
    : owner_(owner), list_(list), position_(size_t(list.Count()), position) {
  owner_->AddRef();
}

TQsFormatEtcList_IEnumFormatEtc::~TQsFormatEtcList_IEnumFormatEtc() { owner_->Release(); }

HRESULT TQsFormatEtcList_IEnumFormatEtc::Next(ULONG n, FORMATETC* out, ULONG* fetched) {
  return ComGuard([&] {
    if (!out || (n != 1 && !fetched)) return E_POINTER;
    shell::TEnumPosition::TTaken t = position_.Next(n);
    for (size_t i = 0; i < t.Count; ++i) out[i] = CopyFormatEtc(list_.Items(int(t.First + i)));
    if (fetched) *fetched = ULONG(t.Count);
    return HRESULT(t.Result);
  });
}

HRESULT TQsFormatEtcList_IEnumFormatEtc::Skip(ULONG n) {
  return ComGuard([&] { return HRESULT(position_.Skip(n)); });
}

HRESULT TQsFormatEtcList_IEnumFormatEtc::Reset() {
  return ComGuard([&] {
    position_.Reset();
    return S_OK;
  });
}

HRESULT TQsFormatEtcList_IEnumFormatEtc::Clone(IEnumFORMATETC** out) {
  return ComGuard([&] {
    if (!out) return E_POINTER;
    *out = new TQsFormatEtcList_IEnumFormatEtc(owner_, list_, position_.Position());
    return S_OK;
  });
}

// ---- TDropSource_shlvtv

HRESULT TDropSource_shlvtv::QueryContinueDrag(BOOL escape, DWORD keys) {
  return ComGuard([&] { return HRESULT(shell::QueryContinueDrag(escape != FALSE, keys, startKey_)); });
}

HRESULT TDropSource_shlvtv::GiveFeedback(DWORD) { return DRAGDROP_S_USEDEFAULTCURSORS; }

// ---- TDataObject_shlv

TDataObject_shlv::TDataObject_shlv(LPCITEMIDLIST parent, const std::vector<LPCITEMIDLIST>& items,
                                   const std::vector<std::string>& names)
    : formats_({CF_IDLIST, shell::kFormatFileDrop, shell::kFormatText}) {
  std::vector<const uint8_t*> lists;
  for (LPCITEMIDLIST i : items) lists.push_back(Bytes(i));
  std::string text;
  for (const std::string& n : names) text += n + "\r\n";
  idList_ = GlobalOf(shell::BuildCida(Bytes(parent), lists), GHND);
  fileDrop_ = GlobalOf(shell::BuildFileDrop(names), GHND);
  text_ = GlobalOf(shell::BuildTextBlock(text), GMEM_FIXED);
  if (!idList_ || !fileDrop_ || !text_) {
    for (HGLOBAL h : {idList_, fileDrop_, text_})
      if (h) GlobalFree(h);
    throw EOleError(ShellErrorText(E_OUTOFMEMORY), E_OUTOFMEMORY);
  }
}

TDataObject_shlv::~TDataObject_shlv() {
  for (HGLOBAL h : {idList_, fileDrop_, text_})
    if (h) GlobalFree(h);
}

HRESULT TDataObject_shlv::GetData(FORMATETC* format, STGMEDIUM* medium) {
  return ComGuard([&] {
    if (!format || !medium) return E_INVALIDARG;
    HRESULT hr = formats_.QueryGetData(*format);
    if (FAILED(hr)) return hr;
    HGLOBAL block = format->cfFormat == CF_IDLIST                ? idList_
                    : format->cfFormat == shell::kFormatFileDrop ? fileDrop_
                    : format->cfFormat == shell::kFormatText     ? text_
                                                                 : nullptr;
    if (!block) return DV_E_FORMATETC;
    HGLOBAL copy = CopyGlobal(block);
    if (!copy) return E_OUTOFMEMORY;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = copy;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  });
}

HRESULT TDataObject_shlv::GetDataHere(FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }

HRESULT TDataObject_shlv::QueryGetData(FORMATETC* format) {
  return ComGuard([&] { return format ? formats_.QueryGetData(*format) : E_INVALIDARG; });
}

HRESULT TDataObject_shlv::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
  if (out) out->ptd = nullptr;
  return E_NOTIMPL;
}

HRESULT TDataObject_shlv::SetData(FORMATETC*, STGMEDIUM*, BOOL) { return E_NOTIMPL; }

HRESULT TDataObject_shlv::EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) {
  return ComGuard([&] {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    *out = new TQsFormatEtcList_IEnumFormatEtc(static_cast<IDataObject*>(this), formats_);
    return S_OK;
  });
}

HRESULT TDataObject_shlv::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) { return OLE_E_ADVISENOTSUPPORTED; }
HRESULT TDataObject_shlv::DUnadvise(DWORD) { return OLE_E_ADVISENOTSUPPORTED; }
HRESULT TDataObject_shlv::EnumDAdvise(IEnumSTATDATA**) { return OLE_E_ADVISENOTSUPPORTED; }

// ---- TDropTarget_shlv

HRESULT TDropTarget_shlv::DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) {
  return ComGuard([&] {
    if (!effect) return E_INVALIDARG;
    if (!control_) {
      *effect = DROPEFFECT_NONE;
      return S_OK;
    }
    control_->DragEnter(data, keys, point, *effect);
    return S_OK;
  });
}

HRESULT TDropTarget_shlv::DragOver(DWORD keys, POINTL point, DWORD* effect) {
  return ComGuard([&] {
    if (!effect) return E_INVALIDARG;
    if (!control_) {
      *effect = DROPEFFECT_NONE;
      return S_OK;
    }
    control_->DragOver(keys, point, *effect);
    return S_OK;
  });
}

HRESULT TDropTarget_shlv::DragLeave() {
  return ComGuard([&] {
    if (control_) control_->DragLeave();
    return S_OK;
  });
}

HRESULT TDropTarget_shlv::Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) {
  return ComGuard([&] {
    if (!effect) return E_INVALIDARG;
    if (!control_) {
      *effect = DROPEFFECT_NONE;
      return S_OK;
    }
    control_->Drop(data, keys, point, *effect);
    return S_OK;
  });
}

// ---- the effects of dropped items

DWORD DroppedItemsEffects(IDataObject* data) {
  const DWORD all = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
  if (!data) return all;
  FORMATETC f{CF_IDLIST, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM m{};
  if (FAILED(data->GetData(&f, &m))) return all;
  std::vector<uint8_t> block = m.tymed == TYMED_HGLOBAL ? GlobalBytes(m.hGlobal) : std::vector<uint8_t>();
  ReleaseStgMedium(&m);
  shell::TCida cida = shell::ParseCida(block.data(), block.size());
  if (!cida.Ok || cida.Items.empty()) return all;
  TComRef<IShellFolder> parent;
  if (FAILED(QsShell().BindFolder(AsPidl(block.data() + cida.Parent.Offset), *parent.Out())) || !parent) return all;
  std::vector<LPCITEMIDLIST> items;
  for (const shell::TCidaList& l : cida.Items) items.push_back(AsPidl(block.data() + l.Offset));
  ULONG attrs = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK;
  if (FAILED(parent->GetAttributesOf(UINT(items.size()), items.data(), &attrs))) return all;
  return shell::AllowedEffects(true, attrs);
}
