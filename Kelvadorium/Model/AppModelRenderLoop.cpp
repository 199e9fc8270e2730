// The preview render loop and the full-quality pass.
#include "Model/AppModel.h"

void AppModel::requestRender() {}
