#pragma once
// Cooperative cancel of a run: the front end asks for it from any thread; the engine looks
// at its progress points and between files and then ends the run through its raise path,
// so buffers are freed and no output is left. A run clears the request when it ends.
namespace engine {

void RequestCancel();
bool CancelRequested();
void ClearCancelRequest();
// Raises the cancel message when a cancel was requested (on a helper thread also while the
// helpers are being stopped).
void CheckCancel();

}  // namespace engine
