#pragma once

#include <QLoggingCategory>

// What the link does, for tracing a game between two machines. Off unless enabled with
// QT_LOGGING_RULES="kelvane.link.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcLink)
