// How veltra-host shows an error on standard error. Short messages go out whole. A long
// one (Cg's listing of an effect that does not compile can run to thousands of lines)
// is shown with runs of the same line folded into one ("... 3 877 times") and cut to a
// screenful; the whole text then goes to a file whose path the message ends with.
#pragma once

#include <string>

// Writes `message` to standard error as described above.
void ReportError(const std::string& message);

// The message as it is shown: folded and cut; `fullTextPath` names the file that holds
// all of it, when anything was cut.
std::string ShownError(const std::string& message, const std::string& fullTextPath);

// 3877 as "3 877": thousands grouped, as the messages print counts.
std::string Grouped(unsigned long long number);
