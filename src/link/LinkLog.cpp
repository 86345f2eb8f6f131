#include "link/LinkLog.h"

Q_LOGGING_CATEGORY(lcLink, "kelvane.link", QtInfoMsg)
