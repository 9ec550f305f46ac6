// Fake DirectShow objects for failure injection and call counting.
#include "fakes.h"
