// The benchmarks' figures: one JSON object in one file, each program adding its own.
#pragma once

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace bench {

// Adds the figures to those the file holds (a missing file holds none); false when it cannot
// be written.
inline bool mergeInto(const QString& path, const QJsonObject& figures) {
    QFile file(path);
    QJsonObject merged;
    if (file.open(QIODevice::ReadOnly))
        merged = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    for (auto it = figures.begin(); it != figures.end(); ++it)
        merged[it.key()] = it.value();
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(QJsonDocument(merged).toJson()) > 0;
}

} // namespace bench
