#include "ClassTerrainImage.h"
