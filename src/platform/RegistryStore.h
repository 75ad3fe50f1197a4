#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

namespace updater {

// The stand-in for the machine-wide registry: one REGEDIT4-style text file holding keys with
// string and 32-bit integer values. Key and value names match without regard to case. A damaged
// or foreign file is read as far as it can be.
class RegistryStore
{
public:
    using Value = std::variant<std::string, uint32_t, std::monostate>; // monostate: another type

    // ${XDG_CONFIG_HOME:-$HOME/.config}/tarvo-updater/HKEY_LOCAL_MACHINE.reg
    static std::string defaultPath();

    explicit RegistryStore(std::string path = defaultPath());

    // True when the key exists and the store could be written ("opened with full access").
    bool openKey(const std::string& key) const;
    std::optional<Value> value(const std::string& key, const std::string& name) const;

    // Creates the key (and the file) when missing. Throws UpdaterError when the store cannot be
    // written; the file is replaced atomically.
    void setString(const std::string& key, const std::string& name, const std::string& text);
    void setInteger(const std::string& key, const std::string& name, uint32_t number);
    // Whether a key could be created for writing, without changing anything.
    bool canCreateKey() const;

private:
    struct Entry
    {
        std::string name;
        std::string raw; // the text after '=' as stored
    };
    struct Key
    {
        std::string name;
        std::vector<Entry> entries;                     // in the file's order
        std::unordered_map<std::string, size_t> byName; // folded name -> index in entries

        const Entry* find(const std::string& entryName) const;
        // Replaces the entry of that name, or adds it at the end.
        void put(Entry entry);
    };

    void load();
    void save() const;
    Key* findKey(const std::string& key);
    const Key* findKey(const std::string& key) const;
    // The key, made (empty, at the end) when missing.
    Key& keyFor(const std::string& key);

    std::string m_path;
    std::vector<Key> m_keys;
    std::unordered_map<std::string, size_t> m_keyIndex; // folded, normalised name -> index
    bool m_tooLarge = false;                            // a store this large is neither read nor replaced
};

// The largest settings store read; a larger one is someone else's file or damage.
inline constexpr uint64_t LargestRegistryStore = 16 * 1024 * 1024;

} // namespace updater
