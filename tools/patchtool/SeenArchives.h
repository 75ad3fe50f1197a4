#pragma once

#include <set>
#include <string>

namespace patchtool {

// The archives that passed an earlier check, kept in the user's cache, so that `check --new-only`
// neither downloads nor reads them again. An archive is known by where it comes from and by its
// integrity line (and, for a file, by its modification time), so a changed line or a replaced file
// is new again.
class SeenArchives
{
public:
    SeenArchives();

    // The entry for an archive at an address, or in a file.
    static std::string fromAddress(const std::string& address, const std::string& integrity);
    static std::string fromFile(const std::string& path, const std::string& integrity);

    bool contains(const std::string& entry) const { return m_entries.contains(entry); }
    void add(const std::string& entry);
    // Keeps what was added for the next check; a cache that cannot be written only costs time.
    void save() const;

private:
    std::string m_path;
    std::set<std::string> m_entries;
    bool m_changed = false;
};

} // namespace patchtool
