#pragma once
// The patch engine.
//
// How it works: the front end fills the one options record (engine_options.h) and calls
// the run. The run writes a 76-byte header, then the patch stream (stored, or deflated
// when Compress is set) through the stream writer (patch_stream.h), then an 8-byte
// trailer (patch_format.h). Every failure leaves through RaiseEngineError
// (engine_errors.h): it deletes the unfinished patch file, frees every buffer of the run
// and throws Exception with the English text of the message (engine_messages.h). The
// engine works on files through the platform layer only, so the same code builds natively
// and for Windows and writes the same bytes in both.
#include "patch_engine/cancel.h"
#include "patch_engine/crc32.h"
#include "patch_engine/create_patch.h"
#include "patch_engine/data_streams.h"
#include "patch_engine/directory_walk.h"
#include "patch_engine/dyn_array.h"
#include "patch_engine/engine_errors.h"
#include "patch_engine/engine_messages.h"
#include "patch_engine/engine_options.h"
#include "patch_engine/engine_state.h"
#include "patch_engine/file_names.h"
#include "patch_engine/file_record.h"
#include "patch_engine/match_search.h"
#include "patch_engine/optimizer.h"
#include "patch_engine/patch_format.h"
#include "patch_engine/patch_stream.h"
#include "patch_engine/step_data.h"
#include "patch_engine/temp_patch_file.h"
