#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/catalogue.h"

namespace pibgen {

// Appends text as a JSON string: in double quotes, with quotes, backslashes and control
// characters escaped and each byte that is not part of valid UTF-8 as U+FFFD, so that what
// a description or a path holds can never break the document.
void AppendJsonString(std::string& out, std::string_view text);
std::string JsonString(std::string_view text);

// Appends "key": and the value, after a comma unless it is the first in its object (the key is one
// of this program's own, never escaped).
void AppendText(std::string& out, std::string_view key, std::string_view text);
void AppendNumber(std::string& out, std::string_view key, uint64_t number);
void AppendBool(std::string& out, std::string_view key, bool value);
// ,"key":null
void AppendNull(std::string& out, std::string_view key);

// The start of a document: {"version":"X.Y.Z"
std::string OpenDocument();
// The start of a document about an image and its layout, up to its list of fields:
// {"version":"X.Y.Z","image":"I","layout":"L","fields":[
std::string OpenFieldsDocument(std::string_view image, std::string_view layout);

// Appends a finding as an object: "code", "severity", "file", "line" (null for none), "field"
// (null for none), "name" (null for none) and "message", its wording.
void AppendFinding(std::string& out, const Finding& finding, std::string_view file,
                   std::string_view message);

}  // namespace pibgen
