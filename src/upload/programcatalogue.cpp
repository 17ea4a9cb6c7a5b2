#include "programcatalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

QString offlineProgramFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/qel/bin_offline");
}

ProgramSources ProgramSources::catalogueIn(const QStringList& dataFolders)
{
    ProgramSources sources;
    sources.explained = true;
    for (const QString& data : dataFolders) {
        sources.folders.append(QDir::cleanPath(data + QStringLiteral("/kolbrin/programs")));
    }
    sources.folders.removeDuplicates();
    return sources;
}

ProgramSources ProgramSources::programFolder(const QString& folder)
{
    return {{folder}, false};
}

ProgramSources ProgramSources::forThisMachine()
{
#if defined(Q_OS_WIN)
    return programFolder(QCoreApplication::applicationDirPath());
#else
    return catalogueIn(QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation));
#endif
}

ProgramCatalogue::ProgramCatalogue(Limits limits)
    : m_limits(limits)
{
}

ProgramCatalogue::ProgramCatalogue()
    : ProgramCatalogue(Limits{})
{
}

QString ProgramCatalogue::stripNulls(const QString& OriginalStr)
{
    const qsizetype zero = OriginalStr.indexOf(QChar(u'\0'));
    return zero < 0 ? OriginalStr : OriginalStr.left(zero);
}

void ProgramCatalogue::findFiles(QString path, const QString& SearchStr)
{
    if (!path.endsWith(QLatin1Char('/'))) {
        path += QLatin1Char('/');
    }
    m_pattern = QRegularExpression::fromWildcard(SearchStr, Qt::CaseInsensitive);
    walk(path, 0);
}

void ProgramCatalogue::walk(const QString& folder, int depth)
{
    if (depth > m_limits.maxDepth) {
        m_complete = false;
        return;
    }
    // One pass over the folder in the order it gives its entries; the files come out first and
    // the subfolders are walked afterwards, keeping that order.
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::Dirs | QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Unsorted);
    m_entriesSeen += static_cast<int>(entries.size());
    if (m_entriesSeen > m_limits.maxEntries) {
        m_complete = false;
        return;
    }
    QStringList subfolders;
    for (const QFileInfo& entry : entries) {
        const QString name = stripNulls(entry.fileName());
        if (entry.isDir()) {
            // A link to a folder may lead back up the tree or anywhere on the machine.
            if (!entry.isSymLink()) {
                subfolders.append(name);
            }
        } else if (entry.isFile() && m_pattern.match(name).hasMatch()) {
            m_files.append(folder + name);
        }
    }
    for (const QString& name : subfolders) {
        walk(folder + name + QLatin1Char('/'), depth + 1);
        if (!m_complete && m_entriesSeen > m_limits.maxEntries) {
            return;
        }
    }
}

namespace ProgramFiles {

QString withExtension(const QString& base, const QString& extension)
{
    const QString exact = base + QLatin1Char('.') + extension;
    if (QFileInfo::exists(exact)) {
        return exact;
    }
    const QFileInfo info(exact);
    const QStringList names = info.dir().entryList(QDir::Files | QDir::Hidden, QDir::Unsorted);
    for (const QString& name : names) {
        if (name.compare(info.fileName(), Qt::CaseInsensitive) == 0) {
            return info.dir().filePath(name);
        }
    }
    return exact;
}

QString baseOf(const QString& imagePath)
{
    return imagePath.size() < 4 ? QString() : imagePath.chopped(4);
}

ReadResult read(const QString& path, qint64 maxBytes, bool allowEmpty)
{
    const QFileInfo info(path);
    if (info.isDir()) {
        return {{},
                QCoreApplication::translate("ProgramCatalogue", "This is a folder, not a file.")};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {{}, file.errorString()};
    }
    if (!info.isFile()) {
        return {{}, QCoreApplication::translate("ProgramCatalogue", "This is not a regular file.")};
    }
    // One byte more than allowed tells a file that is too large, even one still growing.
    QByteArray bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        return {{}, file.errorString()};
    }
    if (bytes.size() > maxBytes) {
        return {{},
                QCoreApplication::translate("ProgramCatalogue", "The file is larger than %1 bytes.")
                    .arg(maxBytes)};
    }
    if (bytes.isEmpty() && !allowEmpty) {
        return {{}, QCoreApplication::translate("ProgramCatalogue", "The file is empty.")};
    }
    return {bytes, {}};
}

} // namespace ProgramFiles
