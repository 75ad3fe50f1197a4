#pragma once

#include <string>

namespace patchtool {

// A new folder of the tool's own in the system's temporary folder, named from `prefix` and the
// process's id, removed with everything in it when the object goes; those of this user's processes
// that were killed first are removed when the next is made. Throws UpdaterError when none can be
// made.
class ScratchFolder
{
public:
    explicit ScratchFolder(const std::string& prefix);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace patchtool
