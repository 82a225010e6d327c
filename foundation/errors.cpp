#include "foundation/errors.h"
