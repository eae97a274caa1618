/*
 * The record layout checks compiled as C: the record headers must stay valid
 * C, and a C caller must see the same layout as the library. Builds or fails;
 * there is nothing to run.
 */
#include "record_layout.h"
