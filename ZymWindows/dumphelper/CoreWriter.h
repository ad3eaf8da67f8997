#pragma once

#include "ProcessMemory.h"
#include "Tracee.h"

namespace ZymDumpHelper {

// Writes an ELF core file of the stopped tracee to `file`: a status note
// per thread (the failing one first, so that debuggers start there), the
// auxiliary vector, the mapped files and the memory. Writable and anonymous
// memory is always written; of read-only file mappings only the first page
// of a file (its ELF headers) unless `full`. False when writing failed.
bool WriteCore(Tracee& tracee, ProcessMemory& memory,
               const ZymWindows::DumpHelper::Request& request, int file);

} // namespace ZymDumpHelper
