// File access for shapelib through one large buffer per open file.
//
// shapelib seeks before every record it writes, and a C stream empties its buffer on
// every seek, so appending a layer through the default hooks costs a few system calls per
// record. These hooks keep a window of the file in memory instead, serve reads and writes
// that fall inside it, and write it back when a request falls outside it, on flush and on
// close. The files hold exactly the bytes the default hooks would give.
#pragma once

#include <shapefil.h>

namespace gridora {

// Hooks for SHPOpenLL, SHPCreateLL, DBFOpenLL and DBFCreateLL: shapelib's defaults with
// the file operations replaced. shapelib copies them, so the result may be a temporary.
SAHooks BufferedFileHooks();

// The first error (an errno value) that reading or writing `file` met since it was
// opened, a write-back of its buffer included; 0 when none, or for no file. shapelib
// passes on only short counts, and nothing of a write-back on close, so a writer asks
// here, before closing, whether what it wrote reached the disk. `file` must have been
// opened through BufferedFileHooks.
int BufferedFileError(SAFile file);

}  // namespace gridora
