// SPDX-License-Identifier: AGPL-3.0-or-later
#include "app/model/BundleInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QXmlStreamReader>

namespace lumafold::BundleInfo {

std::optional<QString> shortVersion(const QString& plistPath)
{
    QFile file(plistPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QXmlStreamReader xml(&file);
    int depth = 0;
    bool valueFollows = false;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            --depth;
            continue;
        }
        if (token != QXmlStreamReader::StartElement) {
            continue;
        }
        ++depth;
        // plist > dict > key/value: only the top dictionary's own entries count.
        if (depth != 3) {
            continue;
        }
        if (valueFollows) {
            if (xml.name() != QLatin1String("string")) {
                return std::nullopt;
            }
            const QString text = xml.readElementText();
            return xml.hasError() ? std::nullopt : std::optional<QString>(text);
        }
        if (xml.name() == QLatin1String("key")) {
            valueFollows = xml.readElementText() == QLatin1String("CFBundleShortVersionString");
            --depth; // readElementText consumed the end of the element
        }
    }
    return std::nullopt;
}

QString runningVersion()
{
    const QString plist = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../Info.plist"));
    return shortVersion(plist).value_or(QStringLiteral("Development"));
}

} // namespace lumafold::BundleInfo
