// SPDX-License-Identifier: AGPL-3.0-or-later
#include "model/BundleInfo.h"

#include "Version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

namespace lumafold::BundleInfo {

std::optional<QString> stringEntry(const QString& plistPath, const QString& key)
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
            valueFollows = xml.readElementText() == key;
            --depth; // readElementText consumed the end of the element
        }
    }
    return std::nullopt;
}

std::optional<QString> shortVersion(const QString& plistPath)
{
    return stringEntry(plistPath, QStringLiteral("CFBundleShortVersionString"));
}

QString runningVersion()
{
    // The program's own path rather than QCoreApplication's, so that this works before (or without)
    // an application object.
    const QDir programFolder = QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).dir();
    const QString plist = QDir::cleanPath(programFolder.filePath(QStringLiteral("../Info.plist")));
    if (!QFileInfo::exists(plist)) {
        return QString::fromUtf8(buildVersion);
    }
    return shortVersion(plist).value_or(QStringLiteral("Development"));
}

} // namespace lumafold::BundleInfo
