#pragma once
// The system calls behind the handle streams, one implementation per build.
#include <cstdint>
#include <string>

namespace setup::handle_os {

constexpr intptr_t kNoHandle = -1;

// Creates or truncates path for reading and writing; kNoHandle on failure.
intptr_t Create(const std::string& path);
void Close(intptr_t handle);
int64_t Read(intptr_t handle, void* buffer, int32_t count);         // -1 on failure
// The bytes the system took (fewer than count when the disk is full); -1 when none.
int64_t Write(intptr_t handle, const void* buffer, int32_t count);
int64_t Seek(intptr_t handle, int64_t offset, int origin);          // -1 on failure
// Cuts or extends the file at size; false on failure with the system's text in error.
bool SetEnd(intptr_t handle, int64_t size, std::string& error);

}  // namespace setup::handle_os
