#include "res/Help.h"
