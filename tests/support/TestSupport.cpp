#include "support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>

namespace updater::test {

GameFolder::GameFolder() : m_previous(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
}

GameFolder::~GameFolder()
{
    QDir::setCurrent(m_previous);
}

void GameFolder::write(const QString& relativePath, const QByteArray& bytes) const
{
    const QString full = m_dir.filePath(relativePath);
    QDir().mkpath(QFileInfo(full).path());
    QFile file(full);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

QByteArray GameFolder::read(const QString& relativePath) const
{
    QFile file(m_dir.filePath(relativePath));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool GameFolder::exists(const QString& relativePath) const
{
    return QFileInfo::exists(m_dir.filePath(relativePath));
}

QStringList GameFolder::contents() const
{
    QStringList entries;
    QDirIterator it(m_dir.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry(it.next());
        const QString path = QDir(m_dir.path()).relativeFilePath(entry.filePath());
        entries << (entry.isDir() && !entry.isSymLink() ? path + "/" : path + "=" + read(path));
    }
    entries.sort();
    return entries;
}

void writeFileOrDie(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

std::string NumberedFiles::newPath()
{
    const QString path = m_dir.filePath(m_pattern.arg(++m_number));
    QDir().mkpath(QFileInfo(path).path());
    return path.toStdString();
}

std::string NumberedFiles::withContent(const QByteArray& bytes)
{
    const std::string path = newPath();
    writeFileOrDie(QString::fromStdString(path), bytes);
    return path;
}

QByteArray goldenBytes(const QString& relativePath)
{
    const QString path = qEnvironmentVariable("UPDATER_SOURCE_DIR") + "/tests/data/" + relativePath;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read the golden file %s", qPrintable(path));
    return file.readAll();
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QByteArray bmpLogo()
{
    QImage logo(89, 84, QImage::Format_RGB32);
    logo.fill(Qt::darkBlue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    logo.save(&buffer, "BMP");
    return bytes;
}

QList<QJsonObject> readDialogJournal(const QString& path)
{
    QList<QJsonObject> boxes;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray& line : file.readAll().split('\n'))
            if (!line.isEmpty())
                boxes << QJsonDocument::fromJson(line).object();
    return boxes;
}

} // namespace updater::test
