#include "platform/signals.h"

ssignals sigs;
