#include "launch/ClientInfoWriter.h"

#include "platform/AtomicFile.h"
#include "platform/GamePath.h"
#include "platform/ProfileFile.h"
#include "platform/UpdaterError.h"

namespace updater {

namespace {

void addLine(std::string& buffer, std::string_view text)
{
    buffer += text;
    buffer += "\r\n";
}

void addElement(std::string& buffer, std::string_view indent, std::string_view tag, std::string_view value)
{
    buffer += indent;
    buffer += '<';
    buffer += tag;
    buffer += '>';
    buffer += value;
    buffer += "</";
    buffer += tag;
    buffer += '>';
    buffer += "\r\n";
}

void addElement(std::string& buffer, std::string_view indent, std::string_view tag, int value)
{
    addElement(buffer, indent, tag, std::to_string(value));
}

const char* sectionOf(int entryNumber)
{
    return entryNumber == 2 ? "Config_2" : "Config_1";
}

void addHeader(std::string& buffer, const std::string& xmlVersion, const ServerEntry& first)
{
    addLine(buffer, xmlVersion);
    addLine(buffer, "<clientinfo>");
    addLine(buffer, "\t<desc>Grimvale Client Information - Taiwan Version</desc>");
    addElement(buffer, "\t", "servicetype", first.servicetype);
    addElement(buffer, "\t", "servertype", first.servertype);
}

// The block's lines up to the opening of the admin list.
void openConnection(std::string& buffer, const ServerEntry& entry)
{
    addLine(buffer, "\t<connection>");
    addLine(buffer, "");
    addElement(buffer, "\t\t", "display", entry.display);
    addElement(buffer, "\t\t", "desc", entry.desc);
    addElement(buffer, "\t\t", "address", entry.ipResolve);
    addElement(buffer, "\t\t", "port", entry.account);
    addElement(buffer, "\t\t", "version", entry.version);
    addElement(buffer, "\t\t", "langtype", entry.langtype);
    addLine(buffer, "\t\t<aid>");
}

// Admin_1, Admin_2, ... up to the first key that is missing, not a number or 0.
void addAdmins(std::string& buffer, const ProfileFile& configFile, int entryNumber)
{
    const char* section = sectionOf(entryNumber);
    for (long n = 1;; ++n) {
        const int admin = configFile.readInteger(section, "Admin_" + std::to_string(n), 0);
        if (admin == 0)
            break;
        addElement(buffer, "\t\t", "admin", admin);
    }
}

void closeConnection(std::string& buffer)
{
    addLine(buffer, "\t\t</aid>");
    addLine(buffer, "");
    addLine(buffer, "\t</connection>");
}

} // namespace

bool ClientInfoWriter::write() const
{
    switch (m_config.howManyClientInfos) {
    case 1:
        return writeFile(m_config.clientInfoName, 1, true);
    case 2: {
        const bool first = writeFile(m_config.entry(1).clientInfoName, 1, false);
        return writeFile(m_config.entry(2).clientInfoName, 2, false) && first;
    }
    default:
        return true;
    }
}

bool ClientInfoWriter::writeFile(const std::string& fileName, int firstEntry, bool withSecondEntry) const
{
    std::string buffer;
    addHeader(buffer, m_config.xmlVersion, m_config.entry(firstEntry));
    openConnection(buffer, m_config.entry(firstEntry));

    // The admin lists come from the file as it is now, so a refreshed file contributes them.
    const std::string configPath = resolveGamePath(configFilePath());
    if (!fileExists(configPath))
        return true;
    const ProfileFile configFile(configPath);
    addAdmins(buffer, configFile, firstEntry);
    closeConnection(buffer);

    if (withSecondEntry) {
        openConnection(buffer, m_config.entry(2));
        addAdmins(buffer, configFile, 2);
        closeConnection(buffer);
    }

    addElement(buffer, "\t\t", "registrationweb", m_config.registrationWeb);
    addLine(buffer, "</clientinfo>");

    if (!directoryExists(resolveGamePath("Data")))
        return false;
    const std::string shownPath = "Data\\" + fileName;
    try {
        writeFileAtomically(resolveGamePath(shownPath), buffer);
    } catch (const UpdaterError&) {
        throw UpdaterError("Cannot create file " + shownPath);
    }
    return true;
}

} // namespace updater
