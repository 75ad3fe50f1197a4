#include "launch/MouseFreedomAddOn.h"

#include "platform/AtomicFile.h"
#include "platform/DialogService.h"
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

constexpr const char* SourcesMissingText =
    "-= ERROR =- Couldn't find 'GV_MOUSEFREEDOM' =-\n\n!Files are missing :O";
constexpr const char* HelpText =
    "* Gv - Rorer Orevovi V1.86\n\nLet ur mouse travel out of the Grimvale window without pressing\n"
    "alt + tab. It works only in windowed mode. Just try it out.";

QString onDisk(const char* windowsPath)
{
    return QFile::decodeName(QByteArray::fromStdString(resolveGamePath(windowsPath)));
}

void install()
{
    for (const AddOnFile& file : AddOnFiles)
        if (!fileExists(resolveGamePath(file.source))) {
            messageBox(SourcesMissingText, "Alert", DialogIcon::Stop);
            return;
        }
    // QFile::copy never replaces an existing file: an installed add-on stays as it is.
    for (const AddOnFile& file : AddOnFiles)
        QFile::copy(onDisk(file.source), onDisk(file.installed));
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

void applyMouseFreedom(bool choiceOn)
{
    if (choiceOn)
        install();
    else
        remove();
}

void showMouseFreedomHelp()
{
    messageBox(HelpText, "Rorer Orevovi", DialogIcon::Information);
}

} // namespace updater
