#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <string>

namespace updater::test {

// A fresh temporary game folder that becomes the current directory for the test's lifetime.
class GameFolder
{
public:
    GameFolder();
    ~GameFolder();
    QString path() const { return m_dir.path(); }
    // Writes bytes to a path relative to the game folder, creating folders as needed.
    void write(const QString& relativePath, const QByteArray& bytes) const;
    QByteArray read(const QString& relativePath) const;
    bool exists(const QString& relativePath) const;
    // Everything below the folder, hidden entries too, in name order: "path/" for a folder,
    // "path=bytes" for a file, so that two moments of the folder compare whole.
    QStringList contents() const;

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// Files a test makes one after another in a temporary folder of their own, each path new:
// `pattern` names them from a number ("store%1.reg", or "store%1/HKLM.reg" for a folder each).
class NumberedFiles
{
public:
    explicit NumberedFiles(QString pattern) : m_pattern(std::move(pattern)) {}
    // A path not used before; its folder exists, the file does not.
    std::string newPath();
    // A new file holding `bytes`.
    std::string withContent(const QByteArray& bytes);

private:
    QTemporaryDir m_dir;
    QString m_pattern;
    int m_number = 0;
};

// Writes bytes to a file at any path (its folder must exist); fails the test run when it cannot.
void writeFileOrDie(const QString& path, const QByteArray& bytes);

// The bytes of a file, or "<missing>" when it cannot be read.
QByteArray bytesOf(const QString& path);
inline QByteArray bytesOf(const std::string& path)
{
    return bytesOf(QString::fromStdString(path));
}

// The bytes of a golden file, tests/data/<relativePath> of the source tree (UPDATER_SOURCE_DIR);
// fails the test run when it cannot be read.
QByteArray goldenBytes(const QString& relativePath);

// A small BMP picture, as the launcher's logo file.
QByteArray bmpLogo();

// The boxes the dialog service wrote to its journal (UPDATER_DIALOG_LOG), one object per line;
// empty when the journal does not exist.
QList<QJsonObject> readDialogJournal(const QString& path);

} // namespace updater::test
