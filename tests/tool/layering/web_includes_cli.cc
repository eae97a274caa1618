// Must not compile: the web console may not use the command line.
#include "args.h"
