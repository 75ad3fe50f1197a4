#include "support/MinisignKeys.h"

#include "support/TestSupport.h"

#include <QProcess>

namespace updater::test {

namespace {

bool runMinisign(const QStringList& arguments, const QByteArray& input = {})
{
    QProcess process;
    process.start("minisign", arguments);
    process.write(input);
    process.closeWriteChannel();
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

} // namespace

MinisignKeys::MinisignKeys(const QByteArray& password) : m_password(password)
{
    const QStringList files{"-p", m_dir.filePath("key.pub"), "-s", m_dir.filePath("key.sec")};
    m_valid = password.isEmpty() ? runMinisign(QStringList{"-G", "-W"} + files)
                                 : runMinisign(QStringList{"-G"} + files, password + "\n" + password + "\n");
}

bool MinisignKeys::verifies(const QString& path) const
{
    return runMinisign({"-V", "-q", "-p", m_dir.filePath("key.pub"), "-m", path});
}

QByteArray MinisignKeys::publicKeyFile() const
{
    return bytesOf(m_dir.filePath("key.pub"));
}

QByteArray MinisignKeys::sign(const QByteArray& document, const QString& trustedComment) const
{
    writeFileOrDie(m_dir.filePath("document"), document);
    QFile::remove(m_dir.filePath("document.minisig"));
    QStringList arguments{"-S", "-s", m_dir.filePath("key.sec"), "-m", m_dir.filePath("document")};
    if (!trustedComment.isEmpty())
        arguments << "-t" << trustedComment;
    if (!runMinisign(arguments, m_password.isEmpty() ? QByteArray() : m_password + "\n"))
        return "<minisign could not sign>";
    return bytesOf(m_dir.filePath("document.minisig"));
}

} // namespace updater::test
