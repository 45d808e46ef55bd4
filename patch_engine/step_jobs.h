#pragma once
// Steps computed on helper threads.
//
// How it works: the steps of a record depend on nothing but their two versions, and the
// records of a directory patch depend on nothing but their files; only writing them into
// the patch stream has an order. The directory walk queues every record's steps before it
// writes the first record (QueueRecord). Helper threads take the queued steps, the largest
// first, and compute each as the record writer would, parking its data in a temporary
// file; a step starts only while the estimated memory of the running steps stays within a
// budget that suits a 32-bit process. The record writer then takes its record's results in order
// (TakeRecord, CollectStep), waiting for a step that is running, or computing it itself
// when no helper has taken it yet. Every thread has its own step buffers (the per-step
// state of the engine is thread-local). Of the front end a helper uses the stage meters
// only: it keeps the stage percents of its step and shows them only while the writer waits
// for that step (the writer first shows what the step has reached), so the meters follow
// the step the run has come to. An error on a helper ends only its step: the writer throws
// that same error, of its own type, when it collects the step, so the run fails where and
// how a run without helpers would. StopStepJobs (part of FreeEngineBuffers) ends the
// helpers and deletes what they parked.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "patch_engine/file_record.h"

namespace engine {

struct StepJob;
using RecordJobs = std::vector<std::shared_ptr<StepJob>>;  // entry i - 1 is step i

// Queues the steps of a record whose versions (oldest first, the target last) lie at
// paths, with the versions' lengths.
void QueueRecord(const std::vector<std::string>& paths, const std::vector<int64_t>& lengths);
// The queued record with these paths when it is the next one queued, else nothing.
RecordJobs TakeRecord(const std::vector<std::string>& paths);
// The result of a queued step; throws the error that ended it.
StepResult CollectStep(const std::shared_ptr<StepJob>& job);

// True while the helpers are being stopped: their steps end at the next progress point.
bool StepJobsStopping();
// Ends the helper threads, deletes the data they parked and forgets every queued step.
void StopStepJobs();

}  // namespace engine
