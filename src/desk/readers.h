#pragma once
// The desk's view of the reader objects: the array itself lives in the reader link.

#include "readerlink/readers.h"
