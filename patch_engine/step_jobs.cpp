#include "patch_engine/step_jobs.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "framework/core/exception.h"
#include "patch_engine/data_streams.h"
#include "patch_engine/engine_errors.h"
#include "patch_engine/front_end.h"
#include "patch_engine/helper_threads.h"
#include "patch_engine/match_search.h"
#include "patch_engine/step_data.h"

namespace engine {

namespace {

// The memory the running steps may take together (a step alone may take more): well
// inside the address space of a 32-bit process.
constexpr int64_t kMemoryBudget = int64_t(512) << 20;
constexpr unsigned kMaxThreads = 8;

thread_local bool onHelper = false;
thread_local StepJob* helperJob = nullptr;  // the step this helper computes
// The step the record writer waits for: its helper shows its progress.
std::atomic<StepJob*> watchedJob{nullptr};

constexpr size_t kStages = 3;

// Shows the percent on the front end's meter of the stage.
void ShowNow(Stage stage, int percent) {
  FrontEndServices& f = FrontEnd();
  switch (stage) {
    case Stage::Match:
      f.Stage1Progress(percent);
      break;
    case Stage::Structure:
      f.Stage2Progress(percent);
      break;
    case Stage::Encoding:
      f.Stage3Progress(percent);
      break;
  }
}

// A step's memory at its peak: the two versions, the index and the fast search's tables,
// the streams, and the fixed tables.
int64_t StepMemory(int64_t sourceLength, int64_t targetLength) {
  return 4 * (sourceLength + targetLength) + (int64_t(2) << 20);
}

}  // namespace

struct StepJob {
  std::string sourcePath, targetPath;
  std::mutex shown;           // held while the step's percents are kept or shown
  std::array<int, kStages> stage{};  // the percents the step has reached, by stage
  int64_t memory = 0;
  enum class State { Queued, Running, Done } state = State::Queued;
  StepResult result;
  std::exception_ptr error;  // what ended it, when it failed
};

namespace {

struct Pool {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::shared_ptr<StepJob>> waiting;  // not yet started, in queued order
  std::deque<std::pair<std::vector<std::string>, RecordJobs>> records;  // not yet taken
  std::vector<std::shared_ptr<StepJob>> all;  // every step queued since the last stop
  std::vector<std::thread> helpers;
  int64_t memoryInUse = 0;
  int running = 0;
  uint64_t generation = 0;  // counts the stops
  std::atomic<bool> stopping{false};

  ~Pool() { StopStepJobs(); }

  // With the lock held: true when job may start now.
  bool Fits(const StepJob& job) const {
    return running == 0 || memoryInUse + job.memory <= kMemoryBudget;
  }
};

Pool& ThePool() {
  static Pool pool;
  return pool;
}

// Frees this thread's step buffers after a step.
void FreeThreadStepState() {
  FreeStepBuffer();
  FreeIndexTables();
  Matches().Clear();
  Streams().Clear();
}

void RunOnHelper(StepJob& job) {
  helperJob = &job;
  try {
    job.result = ComputeStep(job.sourcePath, job.targetPath);
  } catch (const Exception&) {
    job.error = std::current_exception();
  } catch (const std::exception& e) {
    job.error = std::make_exception_ptr(Exception(e.what()));
  }
  helperJob = nullptr;
  FreeThreadStepState();
}

// With job.shown held: shows what the step has reached.
void ShowReached(StepJob& job) {
  for (size_t i = 0; i < kStages; ++i) ShowNow(Stage(i + 1), job.stage[i]);
}

void HelperLoop() {
  onHelper = true;
  struct Release {
    ~Release() {
      ReleaseHelperMatches();
      ReleaseHelperStreams();
    }
  } release;
  Pool& pool = ThePool();
  std::unique_lock<std::mutex> lock(pool.mutex);
  for (;;) {
    pool.changed.wait(lock, [&] {
      return pool.stopping || (!pool.waiting.empty() && pool.Fits(*pool.waiting.front()));
    });
    if (pool.stopping) return;
    std::shared_ptr<StepJob> job = pool.waiting.front();
    pool.waiting.pop_front();
    job->state = StepJob::State::Running;
    pool.memoryInUse += job->memory;
    ++pool.running;
    lock.unlock();
    RunOnHelper(*job);
    lock.lock();
    pool.memoryInUse -= job->memory;
    --pool.running;
    job->state = StepJob::State::Done;
    pool.changed.notify_all();
  }
}

}  // namespace

bool OnStepHelper() { return onHelper; }

void ShowStage(Stage stage, int percent) {
  if (!onHelper) {
    ShowNow(stage, percent);
    return;
  }
  StepJob* job = helperJob;
  if (!job) return;
  std::lock_guard<std::mutex> lock(job->shown);
  job->stage[size_t(stage) - 1] = percent;
  if (watchedJob.load() == job) ShowNow(stage, percent);
}

void ResetQuellMeters() {
  if (!onHelper) {
    FrontEnd().ResetQuellMeters();
    return;
  }
  StepJob* job = helperJob;
  if (!job) return;
  std::lock_guard<std::mutex> lock(job->shown);
  job->stage = {};
  if (watchedJob.load() == job) ShowReached(*job);
}
bool StepJobsStopping() { return ThePool().stopping; }

void QueueRecord(const std::vector<std::string>& paths, const std::vector<int64_t>& lengths) {
  Pool& pool = ThePool();
  std::lock_guard<std::mutex> lock(pool.mutex);
  RecordJobs jobs(paths.size() - 1);
  // The record writer takes the steps newest first.
  for (size_t i = paths.size() - 1; i >= 1; --i) {
    auto job = std::make_shared<StepJob>();
    job->sourcePath = paths[i - 1];
    job->targetPath = paths[i];
    job->memory = StepMemory(lengths[i - 1], lengths[i]);
    // Largest first: the longest steps start early, the short ones fill the gaps.
    auto at = std::upper_bound(pool.waiting.begin(), pool.waiting.end(), job,
                               [](const auto& a, const auto& b) { return a->memory > b->memory; });
    pool.waiting.insert(at, job);
    pool.all.push_back(job);
    jobs[i - 1] = std::move(job);
  }
  pool.records.emplace_back(paths, std::move(jobs));
  if (pool.helpers.empty()) {
    const unsigned cores = std::max(1u, std::min(kMaxThreads, std::thread::hardware_concurrency()));
    for (unsigned k = 1; k < cores; ++k) pool.helpers.emplace_back(HelperLoop);
  }
  pool.changed.notify_all();
}

RecordJobs TakeRecord(const std::vector<std::string>& paths) {
  Pool& pool = ThePool();
  std::lock_guard<std::mutex> lock(pool.mutex);
  if (pool.records.empty() || pool.records.front().first != paths) return {};
  RecordJobs jobs = std::move(pool.records.front().second);
  pool.records.pop_front();
  return jobs;
}

StepResult CollectStep(const std::shared_ptr<StepJob>& job) {
  Pool& pool = ThePool();
  std::unique_lock<std::mutex> lock(pool.mutex);
  if (job->state == StepJob::State::Queued) {
    // No helper took it yet: compute it here, as a run without helpers would (so its
    // errors take the raise path directly).
    pool.changed.wait(lock, [&] { return pool.Fits(*job); });
    pool.waiting.erase(std::find(pool.waiting.begin(), pool.waiting.end(), job));
    job->state = StepJob::State::Running;
    pool.memoryInUse += job->memory;
    ++pool.running;
    const uint64_t generation = pool.generation;
    lock.unlock();
    struct Release {
      Pool& pool;
      StepJob& job;
      uint64_t generation;
      ~Release() {
        std::lock_guard<std::mutex> relock(pool.mutex);
        if (pool.generation != generation) return;  // a stop has reset the pool meanwhile
        pool.memoryInUse -= job.memory;
        --pool.running;
        job.state = StepJob::State::Done;
        pool.changed.notify_all();
      }
    } release{pool, *job, generation};
    StepResult r = ComputeStep(job->sourcePath, job->targetPath);
    FreeStepBuffer();
    return r;
  }
  // The run has come to this step: the meters show what it has reached, and its helper
  // shows its progress from here on.
  lock.unlock();
  {
    std::lock_guard<std::mutex> shown(job->shown);
    watchedJob = job.get();
    ShowReached(*job);
  }
  lock.lock();
  pool.changed.wait(lock, [&] { return job->state == StepJob::State::Done; });
  watchedJob = nullptr;
  if (job->error) {
    const std::exception_ptr error = job->error;
    lock.unlock();
    std::rethrow_exception(error);
  }
  // The record writer owns the parked data from now on.
  StepResult r = std::move(job->result);
  job->result.tempName.clear();
  return r;
}

void StopStepJobs() {
  Pool& pool = ThePool();
  std::vector<std::thread> helpers;
  {
    std::lock_guard<std::mutex> lock(pool.mutex);
    pool.stopping = true;
    helpers.swap(pool.helpers);
  }
  pool.changed.notify_all();
  for (std::thread& t : helpers) t.join();
  std::lock_guard<std::mutex> lock(pool.mutex);
  for (const auto& job : pool.all)
    if (!job->result.tempName.empty()) platform::RemoveFile(job->result.tempName);
  pool.waiting.clear();
  pool.records.clear();
  pool.all.clear();
  pool.memoryInUse = 0;
  pool.running = 0;
  ++pool.generation;
  pool.stopping = false;
}

}  // namespace engine
