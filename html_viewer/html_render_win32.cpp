// html_render: shows a document in a viewer and saves what it shows.
//   html_render [--click X,Y]... [--key NAME]... FILE WIDTH HEIGHT OUT.bmp
// A WIDTH × HEIGHT client area holds a TFramesetViewer for a frame-set document, else a
// TDocViewer (no border, pictures shown, a history of 2). FILE (which may end in "#anchor")
// loads as a followed link would: ".txt" as text,
// pictures as a picture, anything else as HTML. Each --click (a move, the left button down
// and up at client X,Y) and each --key (Home End PgUp PgDn Up Down Left Right) follows once
// loading and painting have settled. The client area is written as a 24-bit BMP, and a line
//   file=<current file> top=<position> vbar=0|1 hbar=0|1 history=<count>
// is printed, per frame viewer prefixed "frame <NAME> ". Keys go to the viewer clicked last
// (the first frame's before any click). An exception (load, click, key) prints "error: <message>" on stderr and the
// run goes on. Exit code 0; 1 for a bad command line or a BMP that cannot be written.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>

#include "framework/controls/register.h"
#include "framework/core/sysutils.h"
#include "framework/win/application.h"
#include "framework/win/forms.h"
#include "platform/file.h"
#include "html_viewer/doc_graphics_win32.h"
#include "html_viewer/doc_viewer_win32.h"
#include "html_viewer/frames_win32.h"

namespace {

struct TStep {
  bool Click = false;
  int X = 0, Y = 0;
  uint16_t Key = 0;
};

bool ParsePoint(const std::string& s, int& x, int& y) {
  size_t comma = s.find(',');
  if (comma == std::string::npos) return false;
  char* end = nullptr;
  x = int(std::strtol(s.c_str(), &end, 10));
  if (end != s.c_str() + comma || comma == 0) return false;
  y = int(std::strtol(s.c_str() + comma + 1, &end, 10));
  return *end == 0 && comma + 1 < s.size();
}

void Settle() {
  for (int i = 0; i < 5; ++i) {
    Application->ProcessMessages();
    Sleep(20);
  }
  Application->ProcessMessages();
}

void Report(const std::exception& e) { std::cerr << "error: " << e.what() << "\n"; }

// The innermost window at a point of the form's client area, and the point in it.
HWND DeepestAt(HWND form, POINT& p) {
  HWND h = form;
  while (true) {
    HWND child = ChildWindowFromPointEx(h, p, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
    if (!child || child == h) return h;
    MapWindowPoints(h, child, &p, 1);
    h = child;
  }
}

void PrintViewer(const std::string& prefix, TDocViewer& v) {
  std::cout << prefix << "file=" << v.CurrentFile() << " top=" << v.Position()
            << " vbar=" << (v.VScrollBar().Visible() ? 1 : 0) << " hbar=" << (v.HScrollBar().Visible() ? 1 : 0)
            << " history=" << v.History().Count() << "\n";
}

bool SaveClient(HWND h, int width, int height, const std::string& file) {
  HDC screen = GetDC(h);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = bmp != nullptr;
  if (ok) {
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    GdiFlush();
    int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = DWORD(fh.bfOffBits + stride * height);
    FILE* f = std::fopen(file.c_str(), "wb");
    ok = f && std::fwrite(&fh, sizeof fh, 1, f) == 1 && std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1 &&
         std::fwrite(bits, size_t(stride) * size_t(height), 1, f) == 1;
    if (f && std::fclose(f) != 0) ok = false;
    DeleteObject(bmp);
  }
  DeleteDC(mem);
  ReleaseDC(h, screen);
  return ok;
}

int Run(const std::vector<std::string>& args) {
  static const std::map<std::string, uint16_t> keys = {{"Home", VK_HOME}, {"End", VK_END},   {"PgUp", VK_PRIOR},
                                                        {"PgDn", VK_NEXT}, {"Up", VK_UP},     {"Down", VK_DOWN},
                                                        {"Left", VK_LEFT}, {"Right", VK_RIGHT}};
  std::vector<TStep> steps;
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    if ((args[i] == "--click" || args[i] == "--key") && i + 1 < args.size()) {
      TStep s;
      if (args[i] == "--click") {
        s.Click = true;
        if (!ParsePoint(args[i + 1], s.X, s.Y)) rest.clear(), rest.resize(9);
      } else {
        auto k = keys.find(args[i + 1]);
        if (k == keys.end()) rest.clear(), rest.resize(9);
        else s.Key = k->second;
      }
      steps.push_back(s);
      ++i;
    } else {
      rest.push_back(args[i]);
    }
  }
  int width = rest.size() == 4 ? std::atoi(rest[1].c_str()) : 0, height = rest.size() == 4 ? std::atoi(rest[2].c_str()) : 0;
  if (rest.size() != 4 || width < 1 || height < 1 || width > 4000 || height > 4000) {
    std::cerr << "usage: html_render [--click X,Y]... [--key NAME]... FILE WIDTH HEIGHT OUT.bmp\n";
    return 1;
  }
  auto* form = new TForm(Application);
  form->SetBorderStyle(TFormBorderStyle::bsNone);
  form->SetBounds(0, 0, width, height);
  const std::string& file = rest[0];
  std::string part, anchor;
  SplitAnchor(file, part, anchor);
  bool frames = KindOfLink(part) != TLinkKind::lkImage && UpperCase(ExtractFileExt(part)) != ".TXT" &&
                platform::IsFile(part) && IsFrameDocument(TSourceRef::File(part));
  TDocViewer* viewer = nullptr;
  TFramesetViewer* frameset = nullptr;
  if (frames) {
    frameset = new TFramesetViewer(form);
    frameset->ViewImages = true;
    frameset->HistoryMaxCount = 2;
    frameset->SetParent(form);
    frameset->SetAlign(TAlign::alClient);
  } else {
    viewer = new TDocViewer(form);
    viewer->SetBorderStyle(THTMLBorderStyle::htNone);
    viewer->SetViewImages(true);
    viewer->SetHistoryMaxCount(2);
    viewer->SetParent(form);
    viewer->SetAlign(TAlign::alClient);
  }
  form->Show();
  Settle();
  try {
    if (frameset)
      frameset->LoadFromFile(file);
    else if (UpperCase(ExtractFileExt(part)) == ".TXT")
      viewer->LoadTextFile(part);
    else if (KindOfLink(part) == TLinkKind::lkImage)
      viewer->LoadImageFile(part);
    else
      viewer->LoadFromFile(file);
  } catch (const std::exception& e) {
    Report(e);
  }
  Settle();
  // The viewer keys go to: the one clicked last, or the first.
  auto firstViewer = [&]() -> TDocViewer* {
    if (viewer) return viewer;
    for (TFrame* f : frameset->FrameSet().AllFrames)
      if (f->Viewer()) return f->Viewer();
    return nullptr;
  };
  HWND clicked = nullptr;
  for (const TStep& s : steps) {
    try {
      if (s.Click) {
        POINT p{s.X, s.Y};
        HWND target = DeepestAt(form->Handle(), p);
        clicked = target;
        LPARAM at = MAKELPARAM(p.x, p.y);
        SendMessageA(target, WM_MOUSEMOVE, 0, at);
        SendMessageA(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(target, WM_LBUTTONUP, 0, at);
      } else {
        TDocViewer* to = nullptr;
        for (HWND h = clicked; h && !to; h = GetParent(h)) to = dynamic_cast<TDocViewer*>(TWinControl::FindControl(h));
        if (!to) to = firstViewer();
        if (to) {
          to->SetFocus();
          SendMessageA(to->Handle(), WM_KEYDOWN, s.Key, 1);
          SendMessageA(to->Handle(), WM_KEYUP, s.Key, LPARAM(0xC0000001));
        }
      }
    } catch (const std::exception& e) {
      Report(e);
    }
    Settle();
  }
  UpdateWindow(form->Handle());
  Settle();
  bool saved = SaveClient(form->Handle(), width, height, rest[3]);
  if (viewer) {
    PrintViewer("", *viewer);
  } else {
    for (TFrame* f : frameset->FrameSet().AllFrames)
      if (f->Viewer()) PrintViewer("frame " + f->FrameName + " ", *f->Viewer());
  }
  std::cout.flush();
  form->Free();
  if (!saved) {
    std::cerr << "html_render: cannot write " << rest[3] << "\n";
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  auto* app = new TApplication(nullptr);
  app->Initialize();
  app->SetTitle("html_render");
  RegisterFrameworkClasses();
  RegisterDocViewer();
  RegisterFramesetViewer();
  // Load errors go to stderr, never to a message box nobody answers.
  SetMessageBoxFunction([](HWND, const std::string& text, const std::string&, UINT) {
    std::cerr << "error: " << text << "\n";
    return IDOK;
  });
  int rc = Run(std::vector<std::string>(argv + 1, argv + argc));
  app->Free();
  return rc;
}
