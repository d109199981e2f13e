#include "runtime/exescr.h"
