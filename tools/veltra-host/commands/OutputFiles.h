// Where `render` writes its frames: one file; a pattern with the frame number, as in
// out-%04d.png (%d or %0Nd, numbered from 1; %% is a percent sign); or, for several
// frames and a name without a pattern, OUT-0001.png, OUT-0002.png ...
#pragma once

#include <string>
#include <vector>

class FrameFiles {
public:
    // Throws UsageError for a % that is not %d, %0Nd or %%, or for two numbers in one name.
    FrameFiles(const std::string& output, bool severalFrames);

    std::string PathOf(int frameNumber) const;

private:
    std::string _before, _after;  // around the number
    int _digits = 0;              // 0: no number
};

// Checks the files (at least one) before anything is drawn: one that exists without
// `overwrite` is a UsageError ("... exists; add -y to replace it"); one that cannot be
// written is a HostFailure that says why ("cannot write x.png: no such folder").
void CheckOutputFiles(const std::vector<std::string>& paths, bool overwrite);
