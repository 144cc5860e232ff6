#include "core/data_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString ShippedDataDir() {
    const QString installed =
        QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                        QStringLiteral(KELVANE_DATA_FROM_BINDIR));
    if (QFileInfo(installed).isDir()) return installed;
    const QString source = QStringLiteral(KELVANE_SOURCE_DATADIR);
    if (QFileInfo(source).isDir()) return source;
    return {};
}
