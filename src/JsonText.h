// JSON text parsed with jsoncpp's default reader so that every input, however
// hostile, has a defined outcome: the reader throws when text nests deeper
// than its stack limit, and that never reaches callers here. Any thread.
#pragma once
#include <json/json.h>

#include <string>

// Parses text into *value. False when text is not JSON or nests too deeply;
// *value is then unspecified and *errors (when given) says why.
bool ParseJsonText(const std::string& text, Json::Value* value, std::string* errors = nullptr);
