// What ffprobe reads from a converted file: codec, rate, channels and length
// (an AMR file's length counted from its 20 ms frames, which ffprobe would
// otherwise guess from the bit rate).
#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>

struct Probe {
  QString codec;
  int sample_rate = 0;
  int channels = 0;
  double duration = -1;
};

inline Probe ProbeFile(const QString& path) {
  QProcess ffprobe;
  ffprobe.start("ffprobe",
                {"-v", "error", "-show_entries",
                 "stream=codec_name,sample_rate,channels:format=duration", "-of", "json", path});
  ffprobe.waitForFinished(30000);
  const QJsonObject root = QJsonDocument::fromJson(ffprobe.readAllStandardOutput()).object();
  Probe probe;
  const QJsonArray streams = root["streams"].toArray();
  if (!streams.isEmpty()) {
    const QJsonObject stream = streams.at(0).toObject();
    probe.codec = stream["codec_name"].toString();
    probe.sample_rate = stream["sample_rate"].toString().toInt();
    probe.channels = stream["channels"].toInt();
  }
  probe.duration = root["format"].toObject()["duration"].toString().toDouble();
  if (probe.codec == "amr_nb") {
    QProcess count;
    count.start("ffprobe", {"-v", "error", "-count_packets", "-select_streams", "a:0",
                            "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0", path});
    count.waitForFinished(30000);
    probe.duration = count.readAllStandardOutput().trimmed().toInt() * 0.020;
  }
  return probe;
}
