#include "foundation/arrays.h"
