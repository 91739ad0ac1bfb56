#pragma once

#include <string>
#include <vector>

// Text rules of the config.ini dialect: how a file is cut into lines, how a
// text is trimmed and how a definition line splits into key and value.
// Pure functions, safe from any thread.

// Longest piece read as one line, line feed included; a longer line is read
// as several consecutive pieces.
constexpr std::size_t kIniMaxLineLength = 1023;

// Cuts file contents into lines the way a text-mode read does on Windows:
// a carriage return directly before a line feed is dropped. Every piece keeps
// its line feed, if it has one, and is at most kIniMaxLineLength bytes long.
std::vector<std::string> splitIniLines(const std::string& contents);

// Removes leading blanks/tabs, then trailing blanks/tabs/CR/LF, then one
// leading and one trailing double quote; no step shortens a text below one
// character, so "\n" and "\"" survive unchanged.
std::string trimIniText(std::string text);

struct IniDefinition {
    std::string key;
    std::string value;
};

// Splits a definition line at its first '='. The character directly before
// the '=' is not part of the key ("KEY = v" defines KEY, "KEY=v" defines
// KE); an '=' at position 0 or 1 gives an empty key. Without '=' the whole
// trimmed line is the key and the value is empty.
IniDefinition splitIniDefinition(const std::string& line);
