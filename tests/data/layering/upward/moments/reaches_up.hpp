// A moments header that reaches up into the program: the layering check must refuse it.
#pragma once

#include "moments/subsets.hpp"
#include "app/driver.hpp"
