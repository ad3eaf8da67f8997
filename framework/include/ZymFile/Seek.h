#pragma once

#include <Zym/Export.h>

#include <Zym/BinaryStreamBuf.h>

#include <cstdint>

namespace ZymFile {

ZYM_LEAF_EXCEPTION(ZYM_EXPORT, SeekOutOfRangeException, ::Zym::BinaryStreamException);

// The absolute position that a seek asks for, checked against [0, size];
// a target outside raises SeekOutOfRangeException.
ZYM_EXPORT unsigned int ResolveSeek(unsigned int current, unsigned int size, std::int64_t offset,
                                    Zym::SeekDir dir);

} // namespace ZymFile
