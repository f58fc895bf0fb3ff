// FFmpeg I/O over an open file, so that movie files are opened only by the platform's own file
// call and FFmpeg never interprets a name itself. Used by the movie reader and writer.
#pragma once

#include <cstdio>

struct AVIOContext;

// A context reading (or writing) and seeking `file`, which the caller keeps and closes after
// VidCloseFileIo. Null on allocation failure.
AVIOContext* VidOpenFileIo(FILE* file, bool write);
// Frees the context and its buffer; null is ignored.
void VidCloseFileIo(AVIOContext** io);
// FFmpeg's messages stay quiet (hostile files would flood standard error).
void VidQuietLog();
