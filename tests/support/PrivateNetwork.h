#pragma once

#include <QByteArray>
#include <QString>

namespace updater::test {

// Set in the environment of a test binary that runs inside its own network namespace.
inline constexpr const char* PrivateNetworkVariable = "UPDATER_TEST_PRIVATE_NETWORK";

inline bool insidePrivateNetwork()
{
    return qEnvironmentVariableIsSet(PrivateNetworkVariable);
}

// Runs test function `function` of this binary again inside a new network namespace, after the
// shell commands `setup`. Returns the process exit code, or 77 when the machine does not allow
// the namespace or its setup.
int runInPrivateNetwork(const QString& function, const QString& setup, QByteArray* output);

} // namespace updater::test
