// A pty cannot say at which speed a byte was written: the master side only
// shows the slave's settings at the moment it looks. When the tool writes a
// byte and at once reopens its port at another speed, the simulator would
// often read the byte after the change and take it for noise.
//
// In-process (the tests) the simulator therefore wraps tcsetattr: before the
// settings of one of its slaves change, it reads everything written so far at
// the old speed. Out of process (mcsim-run with the real tool) the race
// stays; it only matters when the tool changes speed right after a write.
#pragma once

namespace mcsim {

class Sim;

namespace detail {
void RegisterLine(Sim* sim);
void UnregisterLine(Sim* sim);
}  // namespace detail

}  // namespace mcsim
