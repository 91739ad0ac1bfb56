#pragma once

#include <string>

// The program folder check of "-install", the service's start-up and
// "-check": a service that runs as LocalSystem or root must not run a file
// that other accounts may replace.

// The one line that says the program lies where accounts other than the
// administrators may change it, naming that path and what to do, without a
// line feed; empty when the program's location is trusted. Every place that
// reports the problem (install, start-up, -check, the event log) says this.
std::string programFolderWarning(const std::string& executable);

// programFolderWarning for the running executable.
std::string runningProgramFolderWarning();
