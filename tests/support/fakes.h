// Fake DirectShow objects for failure injection and call counting.
#pragma once
