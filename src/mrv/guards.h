// The kit's RAII guards in one include.
#pragma once

#include "busyanimation.h"
#include "cursorguard.h"
#include "displaysuspended.h"
