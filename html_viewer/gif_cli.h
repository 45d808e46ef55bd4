#pragma once
// The commands of the gif_run test driver over the GIF image:
//   FILE OUTDIR                          the frames of the first pass, as PPM (and PGM masks)
//   --play MS [--speed N] [--clock START] FILE   the animation's timeline
// Returns the exit code: 0 on success, 1 with "gif_run: FILE: REASON" written to err, 2 for
// a bad command line.
#include <ostream>
#include <string>
#include <vector>

int RunGifCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
