#include "platform/process.h"

sprocess self;
