#include "launch/MouseFreedomAddOn.h"

#include "platform/AtomicFile.h"
#include "platform/GamePath.h"

#include <QFile>

#include <array>
#include <string>

namespace updater {

namespace {

struct AddOnFile
{
    const char* source;
    const char* installed;
};

constexpr std::array<AddOnFile, 3> AddOnFiles{{
    {"Tarvo-Updater\\ADDON's\\GV_MOUSEFREEDOM\\dinput.dll", "dinput.dll"},
    {"Tarvo-Updater\\ADDON's\\GV_MOUSEFREEDOM\\GV_MF.bin", "GV_MF.bin"},
    {"Tarvo-Updater\\ADDON's\\GV_MOUSEFREEDOM\\GV_MF.ini", "GV_MF.ini"},
}};

QString onDisk(const char* windowsPath)
{
    return QFile::decodeName(QByteArray::fromStdString(resolveGamePath(windowsPath)));
}

bool install()
{
    for (const AddOnFile& file : AddOnFiles)
        if (!fileExists(resolveGamePath(file.source)))
            return false;
    // QFile::copy never replaces an existing file: an installed add-on stays as it is.
    for (const AddOnFile& file : AddOnFiles)
        QFile::copy(onDisk(file.source), onDisk(file.installed));
    return true;
}

void remove()
{
    for (const AddOnFile& file : AddOnFiles) {
        const std::string path = resolveGamePath(file.installed);
        if (fileExists(path))
            QFile::remove(QFile::decodeName(QByteArray::fromStdString(path)));
    }
}

} // namespace

bool applyMouseFreedom(bool choiceOn)
{
    if (choiceOn)
        return install();
    remove();
    return true;
}

} // namespace updater
