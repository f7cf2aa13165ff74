// The log's time stamp in the desktop's own formats: the short date and the
// long time of the locale the desktop gives the program (QLocale::system()),
// not the C library's view of the environment. The core writes the log
// without Qt, so the start-up hands this formatter to TAppFunc. The returned
// formatter owns a copy of the locale and only reads the clock: any thread.
#pragma once

#include <QLocale>

#include "UtilityObjects.h"

// "date time" for the log line "Tessaly " + date + " " + time + "|" + message.
TAppFunc::TimeStampFormatter DesktopTimeStamp(const QLocale& locale = QLocale::system());
