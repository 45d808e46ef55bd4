#include "patch_engine/optimizer.h"

#include <vector>

#include "patch_engine/data_streams.h"
#include "patch_engine/engine_errors.h"
#include "patch_engine/front_end.h"
#include "patch_engine/helper_threads.h"
#include "patch_engine/step_data.h"

namespace engine {

namespace {

// Reports each new whole percent of `total` items below 100; the caller reports 100.
class PercentReporter {
 public:
  PercentReporter(Stage stage, int64_t total, bool enabled)
      : stage_(stage), enabled_(enabled), total_(total) {}
  void Done(int64_t handled) {
    if (!enabled_ || total_ <= 0) return;
    int64_t p = handled * 100 / total_;
    if (p > percent_ && p < 100) {
      percent_ = int(p);
      ReportStage(stage_, percent_);
    }
  }

 private:
  Stage stage_;
  bool enabled_;
  int64_t total_;
  int percent_ = 0;
};

int64_t GroupSize() { return Options.GroupSize; }

int64_t Magnitude(int32_t v) { return v < 0 ? -int64_t(v) : int64_t(v); }

// The window of the group starting at copy w: its entries run from w up to (not
// including) end; lastCopy is its last copy.
struct Window {
  int64_t end = 0;
  int64_t lastCopy = 0;
  int64_t copies = 0;
};

Window CollectWindow(int64_t w) {
  const MatchList& in = Matches().found;
  const int64_t count = in.Count();
  Window win;
  int64_t e = w;
  for (; e < count && win.copies < GroupSize(); ++e) {
    if (in.Value(e) > 0) {
      ++win.copies;
      win.lastCopy = e;
    }
  }
  win.end = e;
  return win;
}

// The smallest room left in the target behind any copy of the group starting at copy w,
// whose first byte lies at target offset targetPos.
int64_t RoomBehindCopies(int64_t w, int64_t targetPos) {
  const MatchList& in = Matches().found;
  const Window win = CollectWindow(w);
  const int64_t targetLength = Step().targetLength;
  int64_t room = kMaxExtension;
  for (int64_t e = w; e < win.end; ++e) {
    int32_t v = in.Value(e);
    targetPos += Magnitude(v);
    if (v > 0 && targetLength - targetPos < room) room = targetLength - targetPos;
  }
  return room < 0 ? 0 : room;
}

// Structure pass over Matches().found. Returns the extension bytes still owed at its end.
int64_t StructurePass(bool capToTarget, bool reportProgress) {
  MatchBuffers& m = Matches();
  const MatchList& in = m.found;
  MatchList& out = m.optimized;
  DataStreams& st = Streams();
  out.Clear();
  st.plainExtension.Clear();
  st.diffExtension.Clear();
  st.kValues.Clear();

  const StepData& step = Step();
  const uint8_t* data = step.data;
  const uint8_t* target = step.Target();
  int64_t owed = 0, cursor = 0, counter = 0, k = 0, swallowed = 0;
  int64_t copiesLeft = m.copies, handled = 0, targetPos = 0;
  PercentReporter progress(Stage::Structure, m.copies, reportProgress);

  auto consume = [&](const uint8_t* bytes, int64_t len) {
    for (int64_t j = 0; j < len; ++j) {
      st.plainExtension.PutByte(bytes[j]);
      st.diffExtension.PutByte(uint8_t(bytes[j] - data[cursor++]));
    }
  };

  const int64_t count = in.Count();
  for (int64_t e = 0; e < count; ++e) {
    const int64_t v = in.Value(e), o = in.Offset(e);
    if (v < 0) {
      const int64_t len = -v;
      if (owed < len) {
        consume(target + o, owed);
        out.Append(int32_t(-(len - owed)), int32_t(o + owed));
        owed = 0;
      } else {
        consume(target + o, len);
        owed -= len;
      }
    } else {
      const int64_t len = v;
      if (owed < len) {
        consume(data + o, owed);
        const bool newGroup = counter <= 0;
        if (newGroup) {
          for (; swallowed > 0; --swallowed) out.Append(0, 0);
          k = ChooseExtension(e);
          if (capToTarget) {
            int64_t room = RoomBehindCopies(e, targetPos);
            if (room < k) k = room;
          }
          st.kValues.PutByte(uint8_t(k));
        }
        out.Append(int32_t(len - owed), int32_t(o + owed));
        if (newGroup) counter = GroupSize();
        owed = k;
        cursor = o + len;
      } else {
        consume(data + o, len);
        ++swallowed;
        --copiesLeft;
        owed -= len;
      }
      --counter;
      progress.Done(++handled);
    }
    targetPos += v < 0 ? -v : v;
  }
  m.optimizedCopies = copiesLeft;
  return owed;
}

void EncodingPass() {
  MatchBuffers& m = Matches();
  const MatchList& list = m.optimized;
  DataStreams& st = Streams();
  const StepData& step = Step();
  const uint8_t* data = step.data;
  const uint8_t* target = step.Target();
  const int64_t chunkSize = Options.ChunkSize;
  const int64_t margin = Options.EntropyMargin;

  int64_t previousOffset = 0, previousLength = 0, counter = 0, k = 0, nextK = 0, handled = 0;
  PercentReporter progress(Stage::Encoding, m.optimizedCopies, true);

  const int64_t count = list.Count();
  for (int64_t e = 0; e < count; ++e) {
    const int64_t v = list.Value(e), o = list.Offset(e);
    if (v == 0) {
      --counter;
      WriteNumber(0);
    } else if (v < 0) {
      const int64_t len = -v;
      WriteNumber(-len);
      const int64_t runStart = st.literal.Size();
      st.literal.Append(target + o, size_t(len));
      const int64_t base = previousOffset + previousLength + k;
      for (int64_t s = 0, rest = len; rest > 0;) {
        const int64_t c = NextChunkLength(rest, chunkSize);
        if (base + s + c >= step.sourceLength || Options.NoLiteralDelta) {
          st.wideBits.PutBit(1);
        } else {
          const int64_t x = runStart + s;
          const int64_t from = x - margin < 0 ? 0 : x - margin;
          const double plain = st.literal.Entropy(from, x + c);
          st.literal.SubtractAt(x, data + base + s, c);
          const double diff = st.literal.Entropy(from, x + c);
          if (diff > plain) {
            st.wideBits.PutBit(0);
          } else {
            st.literal.AddAt(x, data + base + s, c);
            st.wideBits.PutBit(1);
          }
        }
        s += c;
        rest -= c;
      }
    } else {
      WriteNumber(v);
      WriteNumber(o - (previousOffset + previousLength));
      previousOffset = o;
      previousLength = v;
      if (counter <= 0) {
        k = st.kValues.ByteAt(nextK++);
        st.number.PutByte(uint8_t(k));
        counter = GroupSize();
      }
      --counter;
      progress.Done(++handled);
    }
  }
  ReportStage(Stage::Encoding, 100);
}

}  // namespace

int ChooseExtension(int64_t w) {
  const MatchList& in = Matches().found;
  const StepData& step = Step();
  const Window win = CollectWindow(w);
  if (win.copies < GroupSize() && in.Value(in.Count() - 1) > 0) return 0;

  int64_t limit = step.sourceLength < step.targetLength ? step.sourceLength : step.targetLength;
  std::vector<int64_t> runs;
  for (int64_t e = w; e < win.end; ++e) {
    const int64_t v = in.Value(e);
    if (v > 0) {
      int64_t room = step.sourceLength - (in.Offset(e) + v + 256);
      if (room < limit) limit = room < 0 ? 0 : room;
    } else {
      runs.push_back(-v);
    }
  }

  int64_t lowest = 0, kept = 0;
  for (int64_t kk = 0; kk <= kMaxExtension; ++kk) {
    int64_t cost = 4 * win.copies;
    for (int64_t v : runs) cost += kk < v ? v + 2 : kk == v ? v : kk * 195 / 100;
    if (kk == 0 || cost <= lowest) {
      lowest = cost;
      kept = kk;
    } else if ((cost > 3 * lowest && kk > 2) || kk == limit) {
      break;
    }
  }

  int64_t k = kept < limit ? kept : limit;
  while (k > 0 && !CheckExtension(w, k)) --k;
  return int(k);
}

bool CheckExtension(int64_t w, int64_t k) {
  const MatchList& in = Matches().found;
  const Window win = CollectWindow(w);
  const int64_t count = in.Count();
  int64_t h = k;
  for (int64_t e = w; e < win.end; ++e) {
    const int64_t v = in.Value(e);
    if (e == win.lastCopy) {
      const int64_t block = MatchList::BlockOf(e);
      for (int64_t f = e; h > 0 && f < count && MatchList::BlockOf(f) == block; ++f)
        h -= Magnitude(in.Value(f));
      return h <= 0;
    }
    if (v < 0)
      h = h < -v ? 0 : h + v;
    else
      h = h < v ? k : h - v;
  }
  return h <= 0;
}

void WriteNumber(int64_t v) {
  DataStreams& st = Streams();
  const int64_t limit = Step().MaxNumber();
  const uint64_t m = uint64_t(v < 0 ? -v : v);
  st.signBits.PutBit(v < 0);
  if (m >= 256) {
    st.signBits.PutBit(1);
    if (m > 0xFFFF) {
      st.wideBits.PutBit(1);
      if (m > 0xFFFFFF) {
        st.wideBits.PutBit(1);
        st.number.PutByte(uint8_t(m >> 24));
      } else if (limit > 0xFFFFFF) {
        st.wideBits.PutBit(0);
      }
      st.number.PutByte(uint8_t(m >> 16));
    } else if (limit > 0xFFFF) {
      st.wideBits.PutBit(0);
    }
    st.number.PutByte(uint8_t(m >> 8));
  } else if (limit >= 256) {
    st.signBits.PutBit(0);
  }
  st.number.PutByte(uint8_t(m));
}

void OptimizePatchInfo() {
  bool ok = StructurePass(false, true) == 0;
  if (!ok) ok = StructurePass(true, false) == 0;
  ReportStage(Stage::Structure, 100);
  if (!ok) RaiseEngineError(msg::SelfTestFailed);
  EncodingPass();
}

}  // namespace engine
