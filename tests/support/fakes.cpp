// Fake DirectShow objects for failure injection and call counting.
#include "fakes.h"

std::vector<std::string> g_fakeCalls;
std::function<void(const std::string&)> g_fakeCallHook;
