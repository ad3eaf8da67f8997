#pragma once

#include <string>
#include <vector>

namespace zymwin::cfb {

// A name as one line of text: UTF-8, with control characters, "\" and "/"
// written as \xHH so that a path printed by `ls` can be given back to `cat`.
std::string EscapeName(const std::u16string& name);
// Text for one line: UTF-8 with control characters written as \xHH.
std::string EscapeControls(const std::string& utf8);
// Splits a PATH at "/" and turns each \xHH back into its character.
std::vector<std::u16string> ParsePath(const std::string& path);
// A JSON string literal; unpaired surrogates keep their \uXXXX form.
std::string JsonString(const std::u16string& text);
std::string JsonString(const std::string& utf8);

} // namespace zymwin::cfb
