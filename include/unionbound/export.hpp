// What the shared library exports: the functions and classes of the public
// API, and nothing else of it.
#pragma once

#if defined(UNIONBOUND_BUILDING_LIBRARY)
#define UNIONBOUND_API __attribute__((visibility("default")))
#else
#define UNIONBOUND_API
#endif
