// A file in a folder the layering does not know: the layering check must refuse it.
#include "numeric/types.hpp"
