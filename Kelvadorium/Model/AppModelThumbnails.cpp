// Thumbnails: one worker over the queue, and refreshes after edits.
#include "Model/AppModel.h"

void AppModel::startThumbnails() {}
void AppModel::refreshThumbnail(const Uuid&) {}
