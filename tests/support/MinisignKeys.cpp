#include "support/MinisignKeys.h"

#include "support/TestSupport.h"

#include <QProcess>

namespace updater::test {

namespace {

bool runMinisign(const QStringList& arguments)
{
    QProcess process;
    process.start("minisign", arguments);
    process.closeWriteChannel();
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

} // namespace

MinisignKeys::MinisignKeys()
{
    m_valid = runMinisign({"-G", "-W", "-p", m_dir.filePath("key.pub"), "-s", m_dir.filePath("key.sec")});
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
    if (!runMinisign(arguments))
        return "<minisign could not sign>";
    return bytesOf(m_dir.filePath("document.minisig"));
}

} // namespace updater::test
