// A click on something that should be grey sets the white balance.
#include "Model/AppModel.h"

void AppModel::pickWhiteBalance(double, double) {}
