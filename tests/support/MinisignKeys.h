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
    // With a password the secret key is encrypted, as `minisign -G` makes it by default.
    explicit MinisignKeys(const QByteArray& password = {});

    bool valid() const { return m_valid; }
    // The public key file, as it goes into Tarvo-Updater/patchlist.pub.
    QByteArray publicKeyFile() const;
    // The signature file minisign writes for the bytes (prehashed, the tool's default), with the
    // trusted comment minisign writes ("timestamp:<now>\tfile:...") or the one given.
    QByteArray sign(const QByteArray& document, const QString& trustedComment = {}) const;
    // The secret key file, as `minisign -G` writes it.
    QString secretKeyPath() const { return m_dir.filePath("key.sec"); }
    // Whether `minisign -V` accepts the file's signature (the file's path + ".minisig").
    bool verifies(const QString& path) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_password;
    bool m_valid = false;
};

} // namespace updater::test
