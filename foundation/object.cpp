#include "foundation/object.h"
