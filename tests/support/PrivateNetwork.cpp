#include "support/PrivateNetwork.h"

#include <QCoreApplication>
#include <QProcess>

namespace updater::test {

int runInPrivateNetwork(const QString& function, const QString& setup, QByteArray* output)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(PrivateNetworkVariable, "1");
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("unshare",
                  {"-n", "sh", "-c", "{ " + setup + "; } >/dev/null 2>&1 || exit 77; exec \"$0\" \"$1\"",
                   QCoreApplication::applicationFilePath(), function});
    if (!process.waitForStarted() || !process.waitForFinished(120000))
        return 77;
    *output = process.readAll();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : 1;
}

} // namespace updater::test
