#pragma once

// The installer's own command: "-write-settings KEY=VALUE ..." puts the
// values an administrator gave as installer properties into ./config.ini
// (the working directory is the executable's), keeping the rest of the file.
// Only the settings the installer offers are accepted; an empty VALUE leaves
// that setting as it is. Every argument is checked before the file is
// touched, and the file is replaced in one step, so a refused or failed call
// leaves it as it was.
constexpr const char* kWriteSettingsOption = "-write-settings";

// `arguments` are the KEY=VALUE words after the option. Prints one line per
// setting written, or what was refused. Returns the exit code: 0 when every
// given value is in the file, 1 otherwise.
int runWriteSettings(int count, char** arguments);
