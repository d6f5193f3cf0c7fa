#pragma once
// The pipeline states the shared device holds. Every render sends its selections to
// the one device, so what a kind and unit hold there is the state selected last by
// any render, not the one the selecting render remembers: another render may have
// selected its own in between. A new state sends only the render states that differ
// from its predecessor's, so its predecessor is taken from here. Current and Record
// run under s_renderLock; Forget runs while the device is being made, when there is no
// device to select states on.

#include <VeltraRender/IResource.h>

#include <boost/shared_ptr.hpp>

namespace DeviceStates {

// The state the device received last for this kind (row = type code - 4) and unit;
// empty when none was selected since the device was made or that state is gone, in
// which case the next state sends all its render states.
boost::shared_ptr<VeltraRender::IState> Current(int row, int unit);

void Record(int row, int unit, const boost::shared_ptr<VeltraRender::IState>& state);

// A new device starts from Direct3D's defaults: nothing recorded holds any more.
void Forget();

} // namespace DeviceStates
