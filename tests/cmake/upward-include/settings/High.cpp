#include "settings/High.h"
