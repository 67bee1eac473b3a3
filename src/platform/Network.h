// The network-alive query: the stand-in for the system's "is the network
// alive" answer that download supervision asks on every pass.
//
// Alive means at least one interface other than loopback is administratively
// up (IFF_UP in <sysfs>/class/net/<name>/flags) and running: its operstate is
// "up", or "unknown" (virtual links such as tunnels) with carrier 1. The
// interfaces are read from machine_files::SysfsRoot() at every call, so
// VORNIK_SYSFS_ROOT redirects them.
//
// Forcing the answer, for tests and demos: ForceNetworkAliveForTesting wins
// when set; otherwise the environment variable VORNIK_NETWORK_ALIVE with "0"
// or "1" decides; any other value is ignored and sysfs is read.
//
// Any thread; never blocks beyond reading a few small files.
#pragma once

namespace platform {

bool IsNetworkAlive();

// -1 lifts the forcing; 0 reports no network; 1 reports a network. In-process
// and race-free, so a test may flip it while a download runs.
void ForceNetworkAliveForTesting(int answer);

}  // namespace platform
