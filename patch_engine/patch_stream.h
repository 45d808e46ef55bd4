#pragma once
// The writer every byte of the patch stream passes through: stored as it is, or deflated
// at level 9 into one zlib stream when the Compress option is set.
#include <cstddef>
#include <cstdint>
#include <string>

#include "patch_engine/engine_messages.h"
#include "platform/file.h"

namespace engine {

void BeginPatchStream();
void WritePatchStream(const void* data, size_t len);
void EndPatchStream();
// Ends a deflate stream left open by a failed run without writing anything.
void DiscardPatchStream();

void WritePatchU8(uint8_t v);
void WritePatchU16(uint16_t v);
void WritePatchU32(uint32_t v);
// uint8 count, then the bytes; a name over 255 bytes raises the name-length error.
void WriteNameString(const std::string& name);
// Copies exactly length bytes from the file's current position into the patch stream, in
// pieces of at most 2000 bytes; a short read raises shortRead.
void CopyFileToPatchStream(platform::File& file, int64_t length, const EngineMessage& shortRead);

}  // namespace engine
