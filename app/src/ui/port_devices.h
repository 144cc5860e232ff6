#pragma once

class Registry;

// The device or serial-server address chosen in the port dialog for each port
// ("COM_Device1".."COM_Device8"; empty: the port's own device), kept across runs.
// Maps the ports as kept, unless this run maps a port itself (--port).
void RestorePortDevices(const Registry& reg);
// Keeps what the port dialog confirmed during the run.
void KeepPortDevices(Registry& reg);
