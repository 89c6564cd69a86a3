#pragma once

// Prints every port number that leads to a serial device, one line each
// (number, device, what the system knows of it), and the devices no number
// leads to with "-"; hints go to standard error. Returns the exit status.
int printPortList();
