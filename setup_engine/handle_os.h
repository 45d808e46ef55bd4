#pragma once
// The system calls of the setup engine beyond the platform layer, one implementation per
// build: the ones behind the handle streams, and what a path names.
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

// What a path names, following links. Anything but a regular file on a disk (a folder, a
// pipe, a socket, a device) is Other: opening one may wait for ever or read without end.
enum class PathKind { Missing, RegularFile, Other };
PathKind KindOf(const std::string& path);
// True when both paths name the very same existing file, by whatever names or links.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace setup::handle_os
