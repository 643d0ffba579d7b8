#include "ports/PortSelection.h"

// Constructed before the application object, as the process-wide objects are:
// a priority ahead of every object that has none.
std::string SelectedPort __attribute__((init_priority(200)));
