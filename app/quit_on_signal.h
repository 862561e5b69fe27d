#pragma once
// SIGTERM and SIGINT end the program the normal way (the message loop quits, settings are
// saved and the database closed), so it can run as a service.

// Installs the handlers; false when they could not be installed.
bool quitOnTerminationSignals();
