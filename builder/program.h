#pragma once
// The patch builder's program: the objects every unit reaches (the settings and the four
// start-up windows) and the start-up sequence after the settings have been read.
//
// Start-up: the title, the splash unless "Hide Splash", the engine's records and program
// directory, the main, progress, e-mail progress and help windows in this order, the "#"
// line breaks of the hints, the windows' placements (shown in the options page), the hint
// hide pause and the help file, the help hook. WinMain then runs the message loop.
#include <memory>
#include <string>

#include "builder/help_hook.h"
#include "builder/settings.h"

TSettings& ProgramSettings();
// The program's own path, as StartPatchBuilder was given it.
const std::string& ProgramPath();
void SetProgramSettings(TSettings* settings);

// Registers the framework's and the builder's classes for the form reader.
void RegisterBuilderClasses();

// Runs the start-up sequence; the returned hook must live while the program runs.
std::unique_ptr<HelpDummyClass> StartPatchBuilder(const std::string& programPath);

// Every "#" of the hints of the application's controls becomes a line break.
void RewriteHints();
