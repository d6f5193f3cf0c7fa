#pragma once
// The back-end's one way of reporting a failed platform call.

#include <windows.h>
#include <Cg/cg.h>

namespace Veltra {

// Any non-zero HRESULT counts as a failure: it is logged at level 1 as
// "DirectX Error: <hr> in <callText>" and true is returned. The caller decides
// whether to go on or throw.
bool DXFailed(HRESULT result, const wchar_t* callText);

// Asks the Cg runtime for the error of the call just made. A non-zero error is
// logged at level 2 as "Cg Error: <error> in <callText>" and returned.
CGerror CgFailed(const wchar_t* callText);

// Writes the Cg compiler's listing of a failed compile at level 2, after its
// "Cg Error" line: the first lines, and how many more there were.
void LogCgListing(const char* listing);

} // namespace Veltra
