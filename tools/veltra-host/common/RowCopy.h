// The one row copy of the host: whatever reads pixels out of a locked texture or
// writes them into one (the frames read back, the benchmark's uploads and read-backs
// on both sides) copies them with this function, so that no side of a comparison gets
// a faster copy than the other from the compiler (a row length known when compiling
// becomes an inlined copy; a length known only when running calls the library's).
#pragma once

#include <cstddef>

// `rows` rows of `rowBytes` bytes from `from` (rows `fromPitch` bytes apart) to `to`
// (rows `toPitch` bytes apart).
void CopyRows(void* to, size_t toPitch, const void* from, size_t fromPitch, size_t rowBytes, size_t rows);
