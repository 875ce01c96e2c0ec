#include "logging.h"

Q_LOGGING_CATEGORY(lcWendrel, "wendrel", QtInfoMsg)
