#pragma once

#include <string>

// Changes one top-level setting in the text of a config.ini, in the file's
// own dialect, and keeps every other byte as it was: comments, groups, line
// ends and the other settings. Pure function, safe from any thread.
//
// `contents` gets "KEY = value" in place of the definition the reader takes
// (the last top-level one), or as a new last line when there is none; a
// replaced line keeps its own line end, a new one takes the file's. A value
// of digits only is written bare, any other between double quotes, so blanks
// at its ends survive. Returns false, leaving `contents` alone, when the
// reader would not read `value` back exactly (an empty value, a line end or
// ')' in it, a line too long, a reference that would be expanded).
bool setIniValue(std::string& contents, const std::string& key, const std::string& value);
