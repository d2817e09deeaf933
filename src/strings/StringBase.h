#pragma once
// The string base: persistent string sets addressed by numeric IDs in a ".str" holder file and
// a ".sid" tag file. The string set, the language table and collation are in StringSet.h.

#include "strings/StringSet.h"
