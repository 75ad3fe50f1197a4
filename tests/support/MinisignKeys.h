#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace updater::test {

// A minisign key pair made by the real minisign tool (no password), for signing test documents
// the way administrators sign theirs. valid() is false when minisign is missing.
class MinisignKeys
{
public:
    MinisignKeys();

    bool valid() const { return m_valid; }
    // The public key file, as it goes into Tarvo-Updater/patchlist.pub.
    QByteArray publicKeyFile() const;
    // The signature file minisign writes for the bytes (prehashed, the tool's default), with the
    // trusted comment minisign writes ("timestamp:<now>\tfile:...") or the one given.
    QByteArray sign(const QByteArray& document, const QString& trustedComment = {}) const;

private:
    QTemporaryDir m_dir;
    bool m_valid = false;
};

} // namespace updater::test
