// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace lumafold {

namespace {

bool install(QCoreApplication& application, const QString& name, const QString& folder)
{
    auto* translator = new QTranslator(&application);
    if (!translator->load(QLocale(), name, QStringLiteral("_"), folder)) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace

bool installTranslations(QCoreApplication& application, const QString& folder)
{
    // Qt's own texts: the standard buttons and the file dialog.
    install(application, QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    return install(application, QStringLiteral("lumafold"), folder);
}

} // namespace lumafold
