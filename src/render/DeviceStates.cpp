#include "DeviceStates.h"

#include <boost/weak_ptr.hpp>

namespace {

// Weak: the device's record must not keep a state the host and its render dropped.
boost::weak_ptr<VeltraRender::IState> s_selected[5][8];

} // namespace

namespace DeviceStates {

boost::shared_ptr<VeltraRender::IState> Current(int row, int unit)
{
    return s_selected[row][unit].lock();
}

void Record(int row, int unit, const boost::shared_ptr<VeltraRender::IState>& state)
{
    s_selected[row][unit] = state;
}

void Forget()
{
    for (auto& row : s_selected)
        for (auto& cell : row)
            cell.reset();
}

} // namespace DeviceStates
