#include "democatalog.h"
