#pragma once

namespace zymwin::cfb {

// The document that `zymwin demo` lists and describes, as hex digits.
extern const char* const DEMO_DOCUMENT_HEX;

} // namespace zymwin::cfb
