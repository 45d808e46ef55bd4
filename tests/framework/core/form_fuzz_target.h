#pragma once
// The form-text fuzz target: any input either loads or fails with EFormError, and an input
// that loads writes back to text that loads to the same tree. Built into the normal test
// run, which replays the corpus and mutations of it; a libFuzzer build can call it from
// LLVMFuzzerTestOneInput.
#include <cstddef>
#include <cstdint>

void FuzzFormText(const uint8_t* data, size_t size);
