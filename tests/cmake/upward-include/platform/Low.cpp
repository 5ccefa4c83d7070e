#include "platform/Low.h"
