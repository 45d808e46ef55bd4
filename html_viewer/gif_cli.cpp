#include "html_viewer/gif_cli.h"

#include <cstdio>
#include <memory>

#include "framework/core/clock.h"
#include "framework/core/sysutils.h"
#include "html_viewer/gif_image.h"
#include "platform/file.h"

namespace {

bool WriteFile(const std::string& path, const std::string& bytes) {
  platform::File f;
  return f.Open(path, platform::OpenMode::Write) && f.Write(bytes.data(), bytes.size()) == bytes.size() && f.Close();
}

std::string Numbered(const char* stem, int k, const char* ext) {
  char name[32];
  std::snprintf(name, sizeof name, "%s-%03d.%s", stem, k, ext);
  return name;
}

bool WriteFrame(TGIFImage& image, const std::string& dir, int k) {
  std::vector<uint32_t> rgb;
  std::vector<uint8_t> mask;
  image.Surface()->ReadBack(rgb, mask);
  std::string size = IntToStr(image.Width()) + " " + IntToStr(image.Height()) + "\n255\n";
  std::string ppm = "P6\n" + size;
  for (uint32_t p : rgb) ppm += {char(p >> 16), char(p >> 8), char(p)};
  if (!WriteFile(platform::JoinPath(dir, Numbered("frame", k, "ppm")), ppm)) return false;
  if (!image.IsTransparent()) return true;
  std::string pgm = "P5\n" + size;
  for (uint8_t m : mask) pgm += char(m ? 255 : 0);
  return WriteFile(platform::JoinPath(dir, Numbered("mask", k, "pgm")), pgm);
}

std::unique_ptr<TGIFImage> Load(const std::string& file, std::ostream& err) {
  try {
    bool still;
    return TGIFImage::MakeGIFImageFromFile(file, still);
  } catch (const std::exception& e) {
    err << "gif_run: " << file << ": " << e.what() << "\n";
    return nullptr;
  }
}

int Frames(const std::string& file, const std::string& dir, std::ostream& out, std::ostream& err) {
  std::unique_ptr<TGIFImage> image = Load(file, err);
  if (!image) return 1;
  out << "gif " << image->Width() << "x" << image->Height() << " frames " << image->FrameCount() << " loop "
      << image->LoopCount() << "\n";
  for (int k = 1; k <= image->FrameCount(); ++k) {
    const TGIFFrame& f = image->Frame(k);
    out << "frame " << k << " " << f.Left << "," << f.Top << " " << f.Width << "x" << f.Height << " delay "
        << f.Delay << " disposal " << int(f.Disposal) << " transparent ";
    if (f.Transparent)
      out << int(f.TransparentIndex);
    else
      out << "-";
    out << "\n";
  }
  if (!platform::IsDirectory(dir) && !platform::MakeDirectory(dir)) {
    err << "gif_run: " << dir << ": cannot make the folder\n";
    return 1;
  }
  for (int k = 1; k <= image->FrameCount(); ++k) {
    if (k > 1) image->SetCurrentFrame(k);
    if (!WriteFrame(*image, dir, k)) {
      err << "gif_run: " << dir << ": cannot write the frames\n";
      return 1;
    }
  }
  return 0;
}

int Play(uint32_t ms, int speed, uint32_t start, const std::string& file, std::ostream& out, std::ostream& err) {
  uint32_t now = start;
  TTickSource old = SetTickSource([&now] { return now; });
  struct Restore {
    TTickSource& old;
    ~Restore() { SetTickSource(std::move(old)); }
  } restore{old};
  std::unique_ptr<TGIFImage> image = Load(file, err);
  if (!image) return 1;
  image->SetSpeed(speed);
  image->SetAnimating(true);
  int shown = image->ShownFrame();
  out << "show " << shown << " at 0\n";
  for (uint32_t t = 50; t <= ms; t += 50) {
    now = start + t;
    image->TimerStep(nullptr);
    if (image->ShownFrame() != shown) {
      shown = image->ShownFrame();
      out << "show " << shown << " at " << t << "\n";
    }
    if (!image->Animating()) {
      out << "stop at " << t << "\n";
      break;
    }
  }
  return 0;
}

bool Number(const std::string& s, uint32_t& v) {
  if (s.empty() || s.size() > 10 || s.find_first_not_of("0123456789") != std::string::npos) return false;
  unsigned long long n = std::stoull(s);
  if (n > 0xFFFFFFFFull) return false;
  v = uint32_t(n);
  return true;
}

}  // namespace

int RunGifCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const char* usage = "usage: gif_run FILE OUTDIR | gif_run --play MS [--speed N] [--clock START] FILE\n";
  if (!args.empty() && args[0] == "--play") {
    uint32_t ms = 0, speed = 100, start = 0;
    size_t i = 1;
    if (args.size() < 3 || !Number(args[i++], ms)) return err << usage, 2;
    while (i + 1 < args.size() && (args[i] == "--speed" || args[i] == "--clock")) {
      uint32_t& v = args[i] == "--speed" ? speed : start;
      if (!Number(args[i + 1], v)) return err << usage, 2;
      i += 2;
    }
    if (i + 1 != args.size() || speed == 0 || speed > 100000) return err << usage, 2;
    return Play(ms, int(speed), start, args[i], out, err);
  }
  if (args.size() != 2) return err << usage, 2;
  return Frames(args[0], args[1], out, err);
}
