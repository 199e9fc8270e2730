#include "Services/WallClock.h"

QDateTime WallClock::now() const { return fixed_ ? *fixed_ : QDateTime::currentDateTime(); }
