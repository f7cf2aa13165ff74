#include "DesktopTimeStamp.h"

#include <QDateTime>

TAppFunc::TimeStampFormatter DesktopTimeStamp(const QLocale& locale) {
  return [locale] {
    const QDateTime now = QDateTime::currentDateTime();
    return (locale.toString(now.date(), QLocale::ShortFormat) + " " +
            locale.toString(now.time(), QLocale::LongFormat))
        .toStdString();
  };
}
