#include "foundation/strings.h"
