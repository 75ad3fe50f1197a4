#include "platform/RegistryStore.h"

#include "platform/AtomicFile.h"
#include "platform/EventLog.h"
#include "platform/FileFaults.h"
#include "platform/FileOps.h"
#include "platform/PathText.h"
#include "platform/UpdaterError.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace updater {

namespace {

bool mayWrite(const std::string& path)
{
    return ::access(path.c_str(), W_OK) == 0 && !fileFaultApplies(FileFault::WritesDenied, path);
}

std::string normaliseKey(std::string key)
{
    for (char& c : key)
        if (c == '/')
            c = '\\';
    while (!key.empty() && key.front() == '\\')
        key.erase(key.begin());
    while (!key.empty() && key.back() == '\\')
        key.pop_back();
    return key;
}

// Names match without regard to ASCII case, as the registry's do.
std::string folded(std::string name)
{
    for (char& c : name)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return name;
}

// Reads a quoted REGEDIT string starting at text[pos] == '"'; returns false when unterminated.
bool readQuoted(const std::string& text, size_t& pos, std::string& out)
{
    out.clear();
    for (++pos; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c == '\\' && pos + 1 < text.size()) {
            out += text[++pos];
        } else if (c == '"') {
            ++pos;
            return true;
        } else {
            out += c;
        }
    }
    return false;
}

std::string quote(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// "dword:" and one to eight hexadecimal digits, as exported or typed by hand.
bool parseDword(const std::string& raw, uint32_t& number)
{
    const std::string prefix = "dword:";
    if (raw.size() <= prefix.size() || raw.size() > prefix.size() + 8 ||
        folded(raw.substr(0, prefix.size())) != prefix)
        return false;
    const std::string hex = raw.substr(prefix.size());
    if (hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    number = static_cast<uint32_t>(std::strtoul(hex.c_str(), nullptr, 16));
    return true;
}

} // namespace

std::string RegistryStore::defaultPath()
{
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.config";
    else
        base = "/tmp";
    return base + "/tarvo-updater/HKEY_LOCAL_MACHINE.reg";
}

RegistryStore::RegistryStore(std::string path) : m_path(std::move(path))
{
    load();
}

void RegistryStore::load()
{
    m_keys.clear();
    m_keyIndex.clear();
    m_tooLarge = false;
    std::string bytes;
    if (regularFileSize(m_path).value_or(0) > LargestRegistryStore) {
        m_tooLarge = true;
        logEvent("settings store " + m_path + " is larger than 16 MiB: not read, not replaced");
        return;
    }
    if (!readWholeFile(m_path, bytes))
        return;
    Key* current = nullptr;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos)
            end = bytes.size();
        // The blanks of a REGEDIT line: spaces, tabs and the CR of a CRLF file.
        const std::string line(trimBlanks(std::string_view(bytes).substr(pos, end - pos), " \t\r"));
        pos = end + 1;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            std::string name = normaliseKey(line.substr(1, line.size() - 2));
            const std::string root = "hkey_local_machine\\";
            if (folded(name.substr(0, root.size())) == root)
                name = name.substr(root.size());
            current = &keyFor(name);
            continue;
        }
        if (!current || line.empty() || line.front() != '"')
            continue; // header, comments and damaged lines are skipped
        size_t at = 0;
        std::string name;
        if (!readQuoted(line, at, name) || at >= line.size() || line[at] != '=')
            continue;
        current->put(Entry{name, line.substr(at + 1)});
    }
}

const RegistryStore::Entry* RegistryStore::Key::find(const std::string& entryName) const
{
    const auto at = byName.find(folded(entryName));
    return at == byName.end() ? nullptr : &entries[at->second];
}

void RegistryStore::Key::put(Entry entry)
{
    const auto [at, added] = byName.emplace(folded(entry.name), entries.size());
    if (added)
        entries.push_back(std::move(entry));
    else
        entries[at->second] = std::move(entry);
}

RegistryStore::Key* RegistryStore::findKey(const std::string& key)
{
    const auto at = m_keyIndex.find(folded(normaliseKey(key)));
    return at == m_keyIndex.end() ? nullptr : &m_keys[at->second];
}

RegistryStore::Key& RegistryStore::keyFor(const std::string& key)
{
    const std::string name = normaliseKey(key);
    const auto [at, added] = m_keyIndex.emplace(folded(name), m_keys.size());
    if (added)
        m_keys.push_back(Key{name, {}, {}});
    return m_keys[at->second];
}

const RegistryStore::Key* RegistryStore::findKey(const std::string& key) const
{
    return const_cast<RegistryStore*>(this)->findKey(key);
}

bool RegistryStore::canCreateKey() const
{
    if (m_tooLarge)
        return false;
    // The file is replaced by a rename, so its folder must be a writable folder as well.
    const std::string folder = folderOf(m_path);
    if (fileExists(m_path))
        return mayWrite(m_path) && directoryExists(folder) && mayWrite(folder);
    struct stat st;
    if (::stat(m_path.c_str(), &st) == 0)
        return false; // something else (a folder) stands in its place
    if (!makeMissingFolders(folder))
        return false;
    return directoryExists(folder) && mayWrite(folder);
}

bool RegistryStore::openKey(const std::string& key) const
{
    return findKey(key) != nullptr && fileExists(m_path) && mayWrite(m_path);
}

std::optional<RegistryStore::Value> RegistryStore::value(const std::string& key,
                                                         const std::string& name) const
{
    const Key* k = findKey(key);
    if (!k)
        return std::nullopt;
    const Entry* e = k->find(name);
    if (!e)
        return std::nullopt;
    if (!e->raw.empty() && e->raw.front() == '"') {
        size_t at = 0;
        std::string text;
        if (readQuoted(e->raw, at, text) && at == e->raw.size())
            return Value{text};
        return Value{std::monostate{}};
    }
    if (uint32_t number; parseDword(e->raw, number))
        return Value{number};
    return Value{std::monostate{}};
}

void RegistryStore::setString(const std::string& key, const std::string& name, const std::string& text)
{
    keyFor(key).put(Entry{name, quote(text)});
    save();
}

void RegistryStore::setInteger(const std::string& key, const std::string& name, uint32_t number)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "dword:%08x", number);
    // An existing entry keeps its name's spelling; only its value changes.
    Key& k = keyFor(key);
    const Entry* existing = k.find(name);
    k.put(Entry{existing ? existing->name : name, hex});
    save();
}

void RegistryStore::save() const
{
    if (!canCreateKey())
        throw UpdaterError("Cannot create file " + m_path);
    std::string text = "REGEDIT4\n";
    for (const Key& k : m_keys) {
        text += "\n[HKEY_LOCAL_MACHINE\\" + k.name + "]\n";
        for (const Entry& e : k.entries)
            text += quote(e.name) + "=" + e.raw + "\n";
    }
    writeFileAtomically(m_path, text);
}

} // namespace updater
