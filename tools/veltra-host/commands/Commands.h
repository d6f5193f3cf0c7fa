// The commands of veltra-host; each answers its exit code (see HostErrors.h).
#pragma once

#include "commands/CommandLine.h"

int RunInfo(const Options& options);
int RunVersion();
int RunRender(const Options& options);
int RunDisplay(const Options& options);
int RunValidate(const Options& options);
int RunBench(const Options& options);
int RunSoak(const Options& options);
// The child process of `bench` that measures the plug-in on the do-nothing Direct3D.
int RunBenchCpu(const Options& options);
