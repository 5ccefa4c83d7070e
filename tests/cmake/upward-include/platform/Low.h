#pragma once
#include "settings/High.h"
