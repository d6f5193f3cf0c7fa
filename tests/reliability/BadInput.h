#pragma once
// What the bad-input units share: a host with one initialised render, the outcome a call
// is designed to have, and the counting of inputs tried.

#include "Harness.h"
#include "Session.h"

#include <VeltraRender/VeltraRender.h>

namespace reliability {

// How a call with bad input is designed to end.
struct Want {
    enum Kind { Returns, Throws, BadWeakPtr, Designed } kind;
    Veltra::ErrorCode code;
};
const Want Returns = {Want::Returns, Veltra::ecInvalidParameter};
const Want BadWeakPtr = {Want::BadWeakPtr, Veltra::ecInvalidParameter};
// Any designed ending: a return, a VeltraException or boost::bad_weak_ptr. For state
// combinations whose exact answer is the resource's own business; what matters is that
// nothing else comes out, nothing crashes, hangs or leaks.
const Want Designed = {Want::Designed, Veltra::ecInvalidParameter};
inline Want Throws(Veltra::ErrorCode code)
{
    return {Want::Throws, code};
}

// Thrown by a call that does not apply to the object at hand: not counted.
struct NotApplicable { };

// Runs one bad input and checks how it ends; counts it.
void Try(const std::string& label, Want want, const std::function<void()>& call);
size_t InputsTried();
void CountInputs(size_t count);  // inputs tried without Try

// A session with one render initialised on a host window (64 x 48); Finish shuts it down,
// releases it, unloads the plug-in and checks that nothing is left.
struct Host {
    explicit Host(bool sixteenBitIndices = false);
    void Finish();

    Session session;
    boost::shared_ptr<VeltraRender::IRender> render;
};

HWND HostWindowHandle();

// The shader-parameter fuzz, one unit of its own.
void ShaderParameterFuzz(const Options& options);

}  // namespace reliability
