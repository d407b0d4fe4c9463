#include "tool_pictures.h"
